// Presses Print through XTEST on $DISPLAY and prints the milliseconds until `file` exists. Used by
// hotkey-latency.sh: connecting to the server is done before the clock starts, so the figure is the
// program's own time from the key press to the finished file.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr xcb_keysym_t PrintKeysym = 0xff61;

xcb_keycode_t keycodeOf(xcb_connection_t* c, xcb_keysym_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> map(
        xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, setup->min_keycode, std::uint8_t(count)), nullptr),
        &std::free);
    if (!map)
        return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    for (int key = 0; key < count; ++key) {
        if (syms[key * map->keysyms_per_keycode] == keysym)
            return xcb_keycode_t(setup->min_keycode + key);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: hotkey-press FILE\n");
        return 2;
    }
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c(
        xcb_connect(nullptr, nullptr), &xcb_disconnect);
    if (xcb_connection_has_error(c.get())) {
        std::fprintf(stderr, "hotkey-press: no X display\n");
        return 1;
    }
    const xcb_keycode_t key = keycodeOf(c.get(), PrintKeysym);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c.get())).data->root;
    struct stat info;
    const auto start = std::chrono::steady_clock::now();
    xcb_test_fake_input(c.get(), XCB_KEY_PRESS, key, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_test_fake_input(c.get(), XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_flush(c.get());
    // The writer renames a finished file into place: its appearance is the end.
    while (::stat(argv[1], &info) != 0) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) {
            std::fprintf(stderr, "hotkey-press: no %s after 10 s\n", argv[1]);
            return 1;
        }
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%.1f\n", elapsed.count());
    return 0;
}
