#pragma once

#include <QObject>

class QSocketNotifier;

namespace gabblet {

// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread: the handler
// only writes a byte to a pipe, and the event loop picks it up.
class SignalBridge final : public QObject {
    Q_OBJECT
public:
    SignalBridge();
    ~SignalBridge() override;

Q_SIGNALS:
    void terminationRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace gabblet
