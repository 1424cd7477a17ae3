// The real main window's receiver: arbitrary bytes in arbitrary receive events through RecPkt.
// Each read is checked against the written-out receiver rules as it happens, an event must end
// exactly after a bad frame, and at the end each line shows the last good frame sent for it.
// The window's queued events are handled after each input, so memory stays flat over a long run.
#include "link/CommPort.h"
#include "link/KeyCodes.h"
#include "link/ReceiverModel.h"
#include "platform/SjisText.h"
#include "ui/DisplayLines.h"
#include "ui/TForm1.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace
{

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "window property failed: %s\n", what);
    std::abort();
}

// The port the window reads, with the rules' receiver listening to every byte it hands out.
class WatchedPort : public CommPort
{
public:
    bool SendString(const QByteArray &) override { return true; }
    bool isOpen() const override { return true; }

    int ReadChar() override
    {
        // An empty queue is the failed read of a time-out.
        int value = -1;
        if (!incoming.isEmpty()) {
            value = static_cast<unsigned char>(incoming.front());
            incoming.remove(0, 1);
        }
        ++reads;
        last = model.push(value);
        if (last == ReceiverModel::Verdict::Bad && firstBad == 0)
            firstBad = reads;
        if (last == ReceiverModel::Verdict::Good)
            lineFrame[std::size_t(model.lastFrame[2] & 3)] = model.lastFrame;
        return value;
    }

    void feed(const QByteArray &bytes) { incoming += bytes; }

    QByteArray incoming;
    ReceiverModel model;
    ReceiverModel::Verdict last = ReceiverModel::Verdict::Incomplete;
    int reads = 0;
    int firstBad = 0; // the read of this event that completed a bad frame, 1-based
    std::array<std::string, 4> lineFrame;
};

// As the window shows frame bytes: ASCII as it is, anything else as Shift-JIS.
QString shown(const std::string &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return fromSjis(QByteArray(bytes.data(), qsizetype(bytes.size())));
    }
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
};

Window &window()
{
    static Window *w = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_window";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
        auto *made = new Window;
        TForm1::Options options;
        options.settingsPath = made->dir.filePath("qxwatch.ini");
        made->form = std::make_unique<TForm1>(options);
        made->form->show();
        return made;
    }();
    return *w;
}

template <typename T> QString textOf(TForm1 &form, const QString &name)
{
    T *element = form.findChild<T *>(name);
    if (!element)
        fail("an element of the display lines is missing");
    return element->text();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TForm1 &form = *window().form;
    DisplayLines &lines = form.displayLines();
    lines.resetReceiver();
    WatchedPort port;
    form.context().link.setPort(&port);

    FuzzedDataProvider in(data, size);
    while (in.remaining_bytes() > 0) {
        if (in.ConsumeIntegralInRange<int>(0, 9) == 0) {
            lines.resetForConnect();
            port.model.connect();
            continue;
        }
        port.feed(QByteArray::fromStdString(in.ConsumeRandomLengthString(40)));
        const int receiveSize = in.ConsumeIntegralInRange<int>(1, int(port.incoming.size()) + 1);
        port.reads = 0;
        port.firstBad = 0;
        lines.RecPkt(nullptr, receiveSize);
        // A bad frame ends the event at once; otherwise the event reads all it was told of.
        if (port.reads != (port.firstBad ? port.firstBad : receiveSize))
            fail("the event read the wrong number of bytes");
    }
    while (!port.incoming.isEmpty())
        lines.RecPkt(nullptr, int(port.incoming.size()));

    for (int n = 0; n < 4; ++n) {
        const std::string &frame = port.lineFrame[std::size_t(n)];
        if (frame.empty())
            continue;
        const QString line = QString::number(n + 1);
        if (textOf<QLineEdit>(form, "Edit" + line) != shown(frame))
            fail("a line's raw frame is not its last good frame");
        if (textOf<QLabel>(form, "Data" + line) != shown(frame.substr(7, 4)))
            fail("a line's data is not its last good frame's");
        if (textOf<QLabel>(form, "Addr" + line) != shown(frame.substr(4, 3)))
            fail("a line's address is not its last good frame's");
        if (textOf<QLabel>(form, "IO" + line) != KeyCodes::kindText(frame[3]))
            fail("a line's kind is not its last good frame's");
    }
    form.context().link.setPort(nullptr);
    // What the input made the window queue (repaints, the resizes of a mode change, the window
    // system's answers to them) is handled now, as the event loop would between two receive
    // events; otherwise it piles up from input to input.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}
