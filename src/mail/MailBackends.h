#pragma once

#include <QtGlobal>

namespace gabblet {

// The mail back-ends as the account check and the check scheduler call them,
// one method for each back-end call. Each follows the back-end contract:
// a count (negative on failure) or a Boolean, with the reason of a failure
// in the account's MailState Status.
class MailBackends {
public:
    virtual ~MailBackends() = default;

    // POP3: the number of messages (also put in MsgCount), negative on failure.
    virtual qint16 ChkPOP(int slot) = 0;
    // POP3: lists the headers of at most `limit` messages (-1: all).
    virtual bool getPOP(int slot, qint16 limit, bool closeAfter) = 0;
    // Local mail profile: the number of messages in the inbox (also put in MsgCount).
    virtual qint16 OutlookCount(int slot) = 0;
    virtual bool OutlookList(int slot, qint16 limit) = 0;
    // Web mail: logs in and lists at most `limit` messages (-1: all); the
    // count, or -1 on failure.
    virtual qint16 GetMailCity(int slot, qint16 limit) = 0;
    virtual qint16 GetHotMail(int slot, qint16 limit) = 0;
};

} // namespace gabblet
