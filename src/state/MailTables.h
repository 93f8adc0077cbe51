#pragma once

#include "state/BoundedList.h"

#include <QDateTime>
#include <QString>

#include <array>

namespace gabblet {

constexpr qsizetype kAccountSlots = 51;       // slots 0..50
constexpr qsizetype kMaxAccounts = 9;         // what the accounts dialog allows
constexpr qsizetype kMessagePositions = 2001; // 0..2000
constexpr qsizetype kIdPositions = 1001;      // 0..1000

struct AccountRec {
    QString Type; // "POP3", "Outlook", "MailCity", "HotMail"; empty = free slot
    QString Name;
    QString Description;
    QString Account;
    QString Password; // clear text, in memory only
    QString Host;
    QString SMTP;
    QString Address;
    bool Active = false;
    bool StorePassword = false;
    qint16 ChkFrq = 0;
    bool Remember = false;
    bool LoggedOn = false;
    bool Reverse = false;
    bool RASActive = false;
};

struct MailStateRec {
    qint16 MsgCount = -1;
    qint16 NewCount = -1;
    BoundedList<QString, kMessagePositions> Subject;
    BoundedList<QString, kMessagePositions> From;
    BoundedList<QString, kMessagePositions> Date;
    BoundedList<QString, kMessagePositions> MsgRef;
    BoundedList<qint32, kMessagePositions> Size;
    BoundedList<QString, kMessagePositions> BodyText;
    BoundedList<QString, kIdPositions> MsgID;
    BoundedList<QString, kIdPositions> MsgID2;
    BoundedList<bool, kIdPositions> IsNew;
    QString Web1, Web2, Web3, Web4, Web5;
    qint16 Countdown = 0;
    QString Status;
    bool Busy = false;
    QDateTime LoginTime;
    QString WebServer;
};

// The account table and the mail-state table, indexed by the same slot.
struct MailTables {
    std::array<AccountRec, kAccountSlots> Acc;
    std::array<MailStateRec, kAccountSlots> MailState;
    qint16 AccCount = 0;
};

} // namespace gabblet
