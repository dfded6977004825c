#include "X11TestSupport.h"

#include <QStringList>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

KeyClient::~KeyClient()
{
    m_process.kill();
    m_process.waitForFinished(2000);
    if (m_display)
        XCloseDisplay(m_display);
}

bool KeyClient::start()
{
    m_display = XOpenDisplay(nullptr);
    if (!m_display) {
        m_error = QStringLiteral("cannot open display '%1'").arg(qEnvironmentVariable("DISPLAY"));
        return false;
    }
    m_process.setProgram(QStringLiteral(TAVIMO_X11_KEY_CLIENT));
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("X11KeyClient did not start: ") + m_process.errorString();
        return false;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(5000)) {
            m_error = QStringLiteral("X11KeyClient never became ready");
            return false;
        }
    }
    const QStringList words = QString::fromLatin1(m_process.readLine()).split(' ');
    bool ok = false;
    if (words.size() == 2 && words[0] == QLatin1String("ready"))
        m_window = words[1].trimmed().toULong(&ok);
    if (!ok)
        m_error = QStringLiteral("X11KeyClient said something unexpected");
    return ok;
}

KeyClientState KeyClient::state()
{
    // The server delivers a client's events in order, and XTest keys are delivered when
    // their request is processed: a message sent after them arrives after them.
    const long sequence = ++m_sequence;
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = m_window;
    message.xclient.format = 32;
    message.xclient.message_type = XInternAtom(m_display, "TAVIMO_TEST_PING", False);
    message.xclient.data.l[0] = sequence;
    XSendEvent(m_display, m_window, False, NoEventMask, &message);
    XSync(m_display, False);

    for (;;) {
        while (m_process.canReadLine()) {
            const QStringList words =
                QString::fromLatin1(m_process.readLine()).trimmed().split(' ');
            if (words.size() == 6 && words[0] == QLatin1String("state") &&
                words[1].toLong() == sequence) {
                return {words[2].toLong(), words[3].toLong(), words[4].toLong(), words[5].toLong()};
            }
        }
        if (!m_process.waitForReadyRead(5000))
            return {-1, -1, -1, -1};
    }
}

KeyInjector::KeyInjector() : m_display(XOpenDisplay(nullptr)) {}

KeyInjector::~KeyInjector()
{
    if (m_display)
        XCloseDisplay(m_display);
}

bool KeyInjector::hasKey(const char* keysymName) const
{
    const KeySym keysym = XStringToKeysym(keysymName);
    return keysym != NoSymbol && XKeysymToKeycode(m_display, keysym) != 0;
}

void KeyInjector::send(const char* keysymName, bool down)
{
    const KeyCode code = XKeysymToKeycode(m_display, XStringToKeysym(keysymName));
    XTestFakeKeyEvent(m_display, code, down, CurrentTime);
    XSync(m_display, False);
}

void KeyInjector::tap(const char* keysymName)
{
    send(keysymName, true);
    send(keysymName, false);
}

void KeyInjector::press(const char* keysymName)
{
    send(keysymName, true);
}

void KeyInjector::release(const char* keysymName)
{
    send(keysymName, false);
}

int KeyInjector::tapAll()
{
    int count = 0;
    for (const char* name : kStandardKeys) {
        tap(name);
        ++count;
    }
    return count;
}

bool KeyInjector::grabKeyboard()
{
    const int status = XGrabKeyboard(m_display, DefaultRootWindow(m_display), False, GrabModeAsync,
                                     GrabModeAsync, CurrentTime);
    XSync(m_display, False);
    return status == GrabSuccess;
}

void KeyInjector::ungrabKeyboard()
{
    XUngrabKeyboard(m_display, CurrentTime);
    XSync(m_display, False);
}
