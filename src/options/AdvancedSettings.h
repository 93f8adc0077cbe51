#pragma once

#include "state/Settings.h"

#include <QString>
#include <QStringList>

#include <climits>
#include <span>
#include <variant>

namespace gabblet {

// A setting of the Options window's "Advanced" page: its key (whose file,
// type and default the key table gives), its caption, the one line that
// explains it, and the in-memory field it fills. A text field shows as a
// text box, a bool as a check box, a number as a number box.
struct AdvancedSetting {
    enum class Check {
        None,
        IpAddress,    // empty, or an IPv4 or IPv6 address
        ExistingFile, // empty, or a file that exists (a Browse button picks one)
        WebAddress,   // empty, or an http:// or https:// address
        Choice,       // one of `choices` (a list box)
    };
    using Field =
        std::variant<QString Settings::*, bool Settings::*, qint32 Settings::*, qint16 Settings::*>;

    const char* key;
    const char* caption;
    const char* explanation;
    Field field;
    Check check = Check::None;
    int minimum = INT_MIN; // numbers only
    int maximum = INT_MAX;
    const char* browseTitle = nullptr;  // ExistingFile: the file dialog's title
    const char* browseFilter = nullptr; // and filter ("Description (*.x)|*.x;*.y")
    const char* choices = nullptr;      // Choice: the values, "|" between them, default first
};

// The page's settings, in the order shown and written. Adding one is one
// line here (and its line in the key table).
std::span<const AdvancedSetting> advancedSettings();

// A Choice setting's values.
QStringList advancedChoices(const AdvancedSetting& setting);

// The setting's value as its control shows it: the text, "1"/"0" for a
// bool, the decimal number; a choice that is not one of the list shows as
// the first (the default).
QString advancedText(const Settings& settings, const AdvancedSetting& setting);

} // namespace gabblet
