#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace shell {

// One section of the settings file as the texts it holds. QSettings reads an unquoted "a, b, c" as a list
// and "@Variant(...)" as a serialised value, and neither comes back as the text that was there; this
// reader takes every value as its text. It undoes exactly what QSettings' own INI writer does to a text
// (surrounding quotes, backslash escapes, a doubled leading "@", "@String(...)" around a text holding a
// null character), so whatever QSettings wrote reads back
// unchanged, and anything else (a hand edit, another tool) reads as the characters it is made of.
struct SettingsFileSection {
    enum class State {
        Missing,     // no file (or no folder for it): nothing is stored yet
        Read,        // values holds the section's keys
        Unreadable,  // reason says why, in the system's words where it has them
    };
    State state = State::Missing;
    QMap<QString, QString> values;
    QString reason;
};

SettingsFileSection readSettingsSection(const QString& fileName, const QString& section);

// The same, from the file's bytes.
SettingsFileSection parseSettingsSection(const QByteArray& bytes, const QString& section);

// The system's own words for an error number ("Permission denied"), in English like every message of the
// program.
QString systemReason(int errorNumber);

}  // namespace shell
