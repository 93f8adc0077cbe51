#pragma once

#include "speech/AliasDirectory.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace gabblet {

// Friendly names for peers' addresses (or groups of addresses separated by
// ";"), kept in the per-user file alias.lst: one "name,address" line each.
// At most 1001 aliases; names of at most 12 characters.
class AliasTable final : public AliasDirectory {
public:
    static constexpr qsizetype kMaxAliases = 1001;
    static constexpr qsizetype kMaxNameLength = 12;

    enum class AddResult { Added, NameTooLong, TableFull };

    // Reads the file; a missing file means no aliases. Lines past the limit
    // are ignored.
    void load(const QString& path);
    // Rewrites the file atomically (CR LF lines). False when it could not.
    bool save(const QString& path) const;

    // name as typed (untrimmed, checked for length); address trimmed.
    AddResult AddAlias(const QString& name, const QString& address);
    // Removes the aliases at these list positions (any order, duplicates ok).
    void DelAlias(QList<qsizetype> positions);

    qsizetype count() const { return names_.size(); }
    QString name(qsizetype i) const;
    QString address(qsizetype i) const;
    const QStringList& names() const { return names_; }
    // The alias window's line: the name padded to 15 characters, then the address.
    QString listLine(qsizetype i) const;

    // Recipient text to address: an alias name (any case, trimmed) gives its
    // address, anything else the text itself trimmed and lower-cased.
    QString ResolveAlias(const QString& name) const;
    // Source address to display name: the alias with exactly that address,
    // else the first group holding it, else the address trimmed and lower-cased.
    QString LookupAliasName(const QString& address) const;
    // Whether an alias, or a group's member, has exactly this address.
    bool knows(const QString& address) const;
    // The member addresses of an alias name (one for a plain alias); an
    // unknown name stands for itself, trimmed and lower-cased.
    QStringList memberAddresses(const QString& name) const;
    // An alias's address as its members, trimmed and lower-cased (";" or ","
    // between them).
    static QStringList splitMembers(const QString& address);

    // AliasDirectory, for the speech variables.
    QString aliasForAddress(const QString& address) const override;
    QString localAddress() const override;
    void setLocalAddressSource(std::function<QString()> source) { local_ = std::move(source); }

private:
    QStringList names_;     // as typed
    QStringList addresses_; // trimmed
    QList<int> padding_;    // the untrimmed name's length, for the list line
    std::function<QString()> local_;
};

} // namespace gabblet
