#pragma once

#include "peer/SendRules.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QUdpSocket>

#include <functional>

namespace gabblet {

class AliasTable;
class MessageHistory;
class Prompt;
class Speaker;
class StatusLog;
struct SpeechContext;

// What the composer holds when a button is pressed.
struct ComposerInput {
    QString to;        // Combo1 text
    QString toAddress; // the address of the chosen list entry, "" when typed
    QString action;    // Combo2 text
    // The entry chosen from Combo2's list; "" when the text is typed
    QString selectedAction;
    QString character; // Combo3 text
    QString text;      // SendText
    bool hideAtEnd = false;
    bool sync = false;
};

// The sending side of peer messaging: Send, Sequence, Parallel, Test and Scan,
// the replies that come back on the sending socket, and the wait for them.
class Sender final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Sender)
public:
    static constexpr qsizetype kMaxTable = 21;
    static constexpr int kReplyWaitMs = 5000;

    Sender(QUdpSocket& socket, quint16 peerPort, AliasTable& aliases, MessageHistory& sent,
           SpeechContext& speech, Speaker& speaker, Prompt& prompt);

    // Each returns true when the composer text should be cleared (Send only).
    bool Send(const ComposerInput& in);
    void Sequential(const ComposerInput& in);
    void Parallel(const ComposerInput& in);
    void Test(const ComposerInput& in);
    void ActiveCheck();

    // The next replier's name, or "" after 5 seconds.
    QString WaitForReply();
    ReplyStack& replies() { return stack_; }
    // A reply datagram as if it had just arrived (tests and fuzzing).
    void handleReply(const QByteArray& payload, const QHostAddress& source);

Q_SIGNALS:
    void scanLine(const QString& line); // a line for the scan list
    void scanCleared();
    void historyChanged();
    void busyChanged(bool busy); // the hourglass pointer

private:
    // One Sequence or Parallel run: its recipients, characters and pieces.
    struct Table {
        QStringList addresses; // "" once dropped
        QStringList characters;
        QString hide; // the hide code to send at the end, or ""
        QStringList pieces;
        QString characterFor(qsizetype i) const;
        QString payload(const QString& action, qsizetype i, const QString& text) const;
    };
    bool prepareRun(const ComposerInput& in, Table& table);
    bool sendTo(const QString& address, const QString& payload, QString* error = nullptr);
    QString nowValue(const QString& name) const;
    QString ownName() const;
    void drainReplies();
    bool stopRequested() const;

    QUdpSocket& socket_;
    quint16 peerPort_;
    AliasTable& aliases_;
    MessageHistory& sent_;
    SpeechContext& speech_;
    Speaker& speaker_;
    Prompt& prompt_;
    ReplyStack stack_;
};

} // namespace gabblet
