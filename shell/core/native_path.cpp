#include "shell/core/native_path.h"

#include <QFile>
#include <optional>

#include <dirent.h>

namespace shell {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the well-formed UTF-8 sequence at data[i] (RFC 3629: no overlong forms, no
// surrogates, nothing past U+10FFFF), or 0 when the byte there starts none.
int sequenceLength(const QByteArray& data, qsizetype i, char32_t& code) {
    const auto byte = [&](qsizetype at) { return static_cast<unsigned char>(data.at(at)); };
    const unsigned char first = byte(i);
    if (first < 0x80) {
        code = first;
        return 1;
    }
    int length = 0;
    char32_t minimum = 0;
    if ((first & 0xE0) == 0xC0) {
        length = 2;
        code = first & 0x1F;
        minimum = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        code = first & 0x0F;
        minimum = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
        code = first & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > data.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// Walks the bytes as UTF-8: text for each well-formed character, the byte itself for any other.
template <typename Text, typename Byte>
void walkUtf8(const QByteArray& bytes, Text text, Byte other) {
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t code = 0;
        const int length = sequenceLength(bytes, i, code);
        if (length == 0) {
            other(static_cast<unsigned char>(bytes.at(i)));
            ++i;
        } else {
            text(code);
            i += length;
        }
    }
}

void appendUtf8(QByteArray& out, char32_t code) {
    out.append(QString::fromUcs4(&code, 1).toUtf8());
}

std::optional<QByteArray> uniqueEntryReadingAs(const QByteArray& folder, const QString& text) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return std::nullopt;
    std::optional<QByteArray> found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (QFile::decodeName(name) == text) {
            ++matches;
            found = name;
        }
    }
    ::closedir(dir);
    return matches == 1 ? found : std::nullopt;
}

}  // namespace

QString escapedArgument(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    walkUtf8(
        bytes, [&](char32_t code) { text.append(QString::fromUcs4(&code, 1)); },
        [&](unsigned char byte) { text.append(QChar(char16_t(kEscapeBase + byte))); });
    return text;
}

QByteArray unescapedArgument(const QString& escaped) {
    QByteArray bytes;
    bytes.reserve(escaped.size());
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const char16_t unit = escaped.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < escaped.size() &&
            QChar::isLowSurrogate(escaped.at(i + 1).unicode())) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, escaped.at(i + 1).unicode()));
            ++i;
        } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            bytes.append(char(unit - kEscapeBase));
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(bytes, 0xFFFD);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

QByteArray fromChosenName(const QString& text) {
    if (!text.contains(QChar::ReplacementCharacter))
        return QFile::encodeName(text);
    const QStringList parts = text.split(QLatin1Char('/'));
    QByteArray path;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        // The folder this part lies in, as found so far.
        const QByteArray folder = i == 0 ? QByteArray(".") : path.isEmpty() ? QByteArray("/") : path;
        if (i > 0)
            path.append('/');
        const QString& part = parts.at(i);
        std::optional<QByteArray> bytes;
        if (part.contains(QChar::ReplacementCharacter))
            bytes = uniqueEntryReadingAs(folder, part);
        path.append(bytes ? *bytes : QFile::encodeName(part));
    }
    return path;
}

NativePath::NativePath(const QString& text) : bytes_(fromChosenName(text)) {}

NativePath NativePath::fromBytes(const QByteArray& bytes) {
    NativePath path;
    path.bytes_ = bytes;
    return path;
}

NativePath NativePath::fromArgument(const QString& escaped) {
    return fromBytes(unescapedArgument(escaped));
}

QString NativePath::shown() const {
    QString text;
    walkUtf8(
        bytes_,
        [&](char32_t code) {
            // A line break or other control character in a name would break a one-line message.
            if (code < 0x20 || code == 0x7F)
                text += QStringLiteral("\\x%1").arg(uint(code), 2, 16, QLatin1Char('0'));
            else
                text.append(QString::fromUcs4(&code, 1));
        },
        [&](unsigned char byte) {
            text += QStringLiteral("\\x%1").arg(uint(byte), 2, 16, QLatin1Char('0'));
        });
    return text;
}

QString NativePath::toString() const {
    return QFile::decodeName(bytes_);
}

NativePath NativePath::folder() const {
    const qsizetype slash = bytes_.lastIndexOf('/');
    if (slash < 0)
        return fromBytes(".");
    if (slash == 0)
        return fromBytes("/");
    return fromBytes(bytes_.left(slash));
}

QByteArray NativePath::fileName() const {
    const qsizetype slash = bytes_.lastIndexOf('/');
    return slash < 0 ? bytes_ : bytes_.mid(slash + 1);
}

NativePath NativePath::joined(const QByteArray& name) const {
    if (bytes_.isEmpty() || bytes_.endsWith('/'))
        return fromBytes(bytes_ + name);
    return fromBytes(bytes_ + '/' + name);
}

}  // namespace shell
