#include "FakePlatform.h"

#include <QPainter>
#include <QTimer>
#include <utility>

FakeScreen::FakeScreen()
{
    QImage desk(1920, 1080, QImage::Format_RGB32);
    desk.fill(Qt::black);
    setDesktop(desk);
}

void FakeScreen::setDesktop(const QImage& picture)
{
    m_desktop = picture.convertToFormat(QImage::Format_RGB32);
    m_monitors = { Monitor { m_desktop.rect(), true, QStringLiteral("FAKE0") } };
}

void FakeScreen::setMonitors(const QList<Monitor>& monitors)
{
    m_monitors = monitors;
}

void FakeScreen::setCursor(QPoint position, const QImage& image, QPoint hotSpot)
{
    m_cursorPos = position;
    m_cursorImage = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_hotSpot = hotSpot;
}

void FakeScreen::addWindow(WindowHandle window, const QRect& frame)
{
    removeWindow(window);
    m_windows.append({ window, frame });
}

void FakeScreen::removeWindow(WindowHandle window)
{
    m_windows.removeIf([window](const auto& entry) { return entry.first == window; });
    if (m_active == window)
        m_active = 0;
}

bool FakeScreen::copyArea(const QRect& area, QImage& canvas)
{
    if (m_broken)
        return false;
    ++m_copies;
    if (area.isEmpty())
        return true;
    const QRect visible = area.intersected(m_desktop.rect());
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(QPoint(0, 0), area.size()), Qt::black);
    painter.drawImage(visible.topLeft() - area.topLeft(), m_desktop, visible);
    return true;
}

std::optional<QRgb> FakeScreen::pixel(QPoint at)
{
    if (m_broken || !m_desktop.rect().contains(at))
        return std::nullopt;
    return m_desktop.pixel(at);
}

std::optional<CursorImage> FakeScreen::cursorImage()
{
    if (m_cursorImage.isNull())
        return std::nullopt;
    return CursorImage { m_cursorImage, m_hotSpot, m_cursorPos };
}

QList<Monitor> FakeScreen::monitors()
{
    return m_monitors;
}

WindowHandle FakeScreen::windowAt(QPoint at)
{
    for (auto it = m_windows.crbegin(); it != m_windows.crend(); ++it) {
        if (it->second.contains(at))
            return it->first;
    }
    return 0;
}

std::optional<QRect> FakeScreen::frameBounds(WindowHandle window)
{
    for (const auto& [handle, frame] : m_windows) {
        if (handle == window)
            return frame;
    }
    return std::nullopt;
}

MessageResult FakeMessageBoxes::show(
    QWidget*, MessageIcon icon, const QString& title, const QString& text, MessageButtons buttons)
{
    const ShownMessage message { icon, title, text, buttons };
    shown.append(message);
    if (whileShown)
        whileShown(message);
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Ok;
}

quint32 FakeHotKeys::atom(const QString& name)
{
    if (!m_atoms.contains(name))
        m_atoms.append(name);
    // Numbered above the predefined atoms, as a server's would be.
    return quint32(0x100 + m_atoms.indexOf(name));
}

bool FakeHotKeys::registerHotKey(quint32 id, quint32 modifiers, quint32 virtualKey)
{
    ++attempts;
    const Key key { modifiers, virtualKey & 0xFF };
    // 0 and 0xFF name no key, as on a real keyboard.
    if (key.virtualKey == 0 || key.virtualKey == 0xFF || registered.count(id) || heldElsewhere.contains(key))
        return false;
    for (const auto& [other, held] : registered) {
        if (held == key)
            return false;
    }
    registered[id] = key;
    return true;
}

bool FakeHotKeys::pressHotKey(quint32 modifiers, quint32 virtualKey)
{
    const auto hit = std::find_if(registered.cbegin(), registered.cend(), [&](const auto& entry) {
        return entry.second == Key { modifiers, virtualKey };
    });
    if (hit == registered.cend())
        return false;
    // The listener may re-register; it gets a copy of the id.
    pressed(quint32(hit->first));
    return true;
}

bool FakePrinter::begin(const QString& name, QString* error)
{
    if (!hasDefault) {
        if (error)
            *error = QStringLiteral("No default printer is set up.");
        return false;
    }
    ++begun;
    open = true;
    documentName = name;
    return true;
}

bool FakePrinter::draw(const QImage& image, const QRect& target)
{
    if (!open || drawFails)
        return false;
    drawings.append({ image, target });
    return true;
}

bool FakePrinter::end(QString* error)
{
    const bool wasOpen = std::exchange(open, false);
    if (wasOpen)
        ++ended;
    if (!wasOpen || endFails) {
        if (error)
            *error = QStringLiteral("The print job was refused.");
        return false;
    }
    return true;
}

HttpReply FakeHttpClient::perform(const HttpRequest& request, std::stop_token stop)
{
    Seen seen { request, {} };
    // Pulled as a transfer does: pieces of the room it offers, until the announced size.
    constexpr qint64 Room = 64 * 1024;
    QByteArray piece(Room, Qt::Uninitialized);
    while (request.bodySize >= 0 && seen.body.size() < request.bodySize) {
        const qint64 room = std::min(Room, request.bodySize - seen.body.size());
        const qint64 given = request.readBody ? request.readBody(piece.data(), room) : 0;
        if (given <= 0 || given > room)
            return HttpReply { QStringLiteral("the body ended before its size"), 0, {} };
        seen.body.append(piece.constData(), given);
    }
    std::unique_lock lock(m_mutex);
    m_requests.append(seen);
    if (!m_released.wait(lock, stop, [this] { return !m_holding; }))
        return HttpReply { QStringLiteral("abandoned"), 0, {} };
    lock.unlock();
    return respond ? respond(seen) : HttpReply { {}, 200, {} };
}

void FakeHttpClient::hold()
{
    std::lock_guard lock(m_mutex);
    m_holding = true;
}

void FakeHttpClient::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
    }
    m_released.notify_all();
}

QList<FakeHttpClient::Seen> FakeHttpClient::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

class FakeOcrJob final : public OcrJob
{
public:
    FakeOcrJob(FakeOcrEngine& engine, std::function<void(const OcrOutcome&)> done)
        : m_engine(engine), m_done(std::move(done))
    {
        m_engine.m_running = this;
        if (m_engine.autoFinish)
            QTimer::singleShot(0, &m_alive, [this] { m_engine.finish(*m_engine.autoFinish); });
    }
    ~FakeOcrJob() override
    {
        if (m_engine.m_running == this)
            m_engine.m_running = nullptr;
    }
    void cancel() override { ++m_engine.cancels; }
    void complete(const OcrOutcome& outcome)
    {
        m_engine.m_running = nullptr;
        m_done(outcome);
    }

private:
    FakeOcrEngine& m_engine;
    std::function<void(const OcrOutcome&)> m_done;
    // Drops the automatic finish of a job that is gone.
    QObject m_alive;
};

std::unique_ptr<OcrJob> FakeOcrEngine::recognize(
    const QImage& picture, const QString& pack, std::function<void(const OcrOutcome&)> done, QString* error)
{
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return nullptr;
    }
    pictures.append(picture);
    packs.append(pack);
    return std::make_unique<FakeOcrJob>(*this, std::move(done));
}

bool FakeOcrEngine::finish(const OcrOutcome& outcome)
{
    if (!m_running)
        return false;
    m_running->complete(outcome);
    return true;
}
