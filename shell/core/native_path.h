#pragma once

// A file name as the file system holds it. On Linux a name is a string of bytes that need not be UTF-8;
// a QString cannot hold such bytes (decoding makes them U+FFFD, which encodes back as other bytes), so
// a name the user gave travels as its bytes from the command line or the dialog to the system call.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace shell {

class NativePath {
public:
    NativePath() = default;
    // A name the user chose or typed, or one the program built. A U+FFFD in it may stand for bytes that
    // are no UTF-8, as a file dialog shows them: where exactly one entry of the folder reads as that
    // text, the entry's own bytes are taken (see fromChosenName).
    NativePath(const QString& text);

    static NativePath fromBytes(const QByteArray& bytes);
    // A command-line argument as escapedArgument() gave it to the option parser.
    static NativePath fromArgument(const QString& escaped);

    const QByteArray& bytes() const { return bytes_; }
    const char* c_str() const { return bytes_.constData(); }
    bool isEmpty() const { return bytes_.isEmpty(); }

    // The name for messages: UTF-8 as text, any other byte as \xNN, so that two names that differ show
    // differently.
    QString shown() const;
    // The name as Qt's file classes take it (a name that is no UTF-8 does not survive this).
    QString toString() const;

    // The folder part ("." for a bare name) and the last part, as bytes.
    NativePath folder() const;
    QByteArray fileName() const;
    // The folder joined with a name.
    NativePath joined(const QByteArray& name) const;

    bool operator==(const NativePath& other) const = default;

private:
    QByteArray bytes_;
};

// An argument of the command line as a text the option parser can split and compare, from which
// NativePath::fromArgument gets the bytes back exactly: UTF-8 is read as text, and every byte that is
// no UTF-8 becomes one unpaired surrogate (U+DC80 to U+DCFF), which no valid text holds.
QString escapedArgument(const QByteArray& bytes);
QByteArray unescapedArgument(const QString& escaped);

// The bytes a name chosen in a dialog stands for: its UTF-8 bytes, except that a part holding U+FFFD
// is looked up in its folder and the one entry that decodes to it gives its bytes. Several such entries
// leave the name as it is encoded.
QByteArray fromChosenName(const QString& text);

}  // namespace shell
