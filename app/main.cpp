// The process entry. It decides the process's role without loading Qt, so that a second copy and
// `lumetra --command` start and finish in a few milliseconds; only the copy that becomes the running
// one loads the user interface.

#include "platform/InstanceClient.h"
#include "platform/InstanceProtocol.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::string programFolder()
{
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return ".";
    path[length] = '\0';
    std::string full(path);
    const auto slash = full.rfind('/');
    return slash == std::string::npos ? "." : full.substr(0, slash);
}

int sendCommand(const std::string& socket, const char* json)
{
    const auto answer = InstanceClient::sendCopyData(socket, 1, InstanceClient::utf8ToUtf16(json));
    if (!answer) {
        std::fprintf(stderr, "lumetra: no running copy answers\n");
        return 2;
    }
    std::printf("%d\n", *answer);
    return *answer == 1 ? 0 : 1;
}

int runInterface(int argc, char** argv)
{
    const std::string module = programFolder() + "/liblumetra-gui.so";
    void* library = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "lumetra: cannot load the user interface: %s\n", ::dlerror());
        return 1;
    }
    using Entry = int (*)(int, char**);
    const auto entry = reinterpret_cast<Entry>(::dlsym(library, "lumetraGuiMain"));
    if (!entry) {
        std::fprintf(stderr, "lumetra: %s has no entry point\n", module.c_str());
        return 1;
    }
    entry(argc, argv);
    // The library stays loaded: its static objects may still be in use at exit.
    return 0;
}

void usage()
{
    std::puts("usage: lumetra [/start | /inst | /uninst]\n"
              "       lumetra --command '{\"command\":\"capture\"}'");
}

} // namespace

int main(int argc, char** argv)
{
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h") {
        usage();
        return 0;
    }
    std::string error;
    const std::string folder = InstanceClient::runtimeDirectory(&error);
    if (folder.empty()) {
        std::fprintf(stderr, "lumetra: %s\n", error.c_str());
        return 1;
    }
    const std::string socket = InstanceClient::socketPath(folder);

    if (first == "--command") {
        if (argc < 3) {
            usage();
            return 1;
        }
        return sendCommand(socket, argv[2]);
    }

    if (first == "/uninst") {
        InstanceClient::sendUser(socket, InstanceProtocol::QuitCommand);
        for (int i = 0; i < 10 && InstanceClient::isRunning(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return 0;
    }

    int lock = -1;
    switch (InstanceClient::acquireLock(InstanceClient::lockPath(folder), lock)) {
    case InstanceClient::LockResult::HeldElsewhere:
        // Another copy runs: bring it forward, unless this one was started at sign-in. A copy that holds
        // the lock but does not answer yet is still starting; this one just goes.
        if (first != "/start")
            InstanceClient::sendUser(socket, InstanceProtocol::ShowCommand);
        return 0;
    case InstanceClient::LockResult::Failed:
        std::fprintf(
            stderr, "lumetra: cannot create the lock in %s: %s\n", folder.c_str(), std::strerror(errno));
        return 1;
    case InstanceClient::LockResult::Acquired:
        break;
    }
    // The lock descriptor stays open until the process ends.
    return runInterface(argc, argv);
}
