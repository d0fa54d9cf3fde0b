#include "shell/core/settings_store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>

namespace shell {

namespace {

SettingsFileSection unreadable(const QString& reason) {
    SettingsFileSection section;
    section.state = SettingsFileSection::State::Unreadable;
    section.reason = reason;
    return section;
}

// What QSettings counts as blanks around keys and values.
QStringView trimmedBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool escapedAt(QStringView text, qsizetype index) {
    qsizetype backslashes = 0;
    while (index - backslashes > 0 && text.at(index - backslashes - 1) == QLatin1Char('\\'))
        ++backslashes;
    return backslashes % 2 == 1;
}

// The whole value in quotes, with no bare quote inside: how QSettings writes a text that holds a comma,
// a semicolon, an equals sign or a blank at either end.
bool wholeQuoted(QStringView value) {
    if (value.size() < 2 || value.front() != QLatin1Char('"') || value.back() != QLatin1Char('"') ||
        escapedAt(value, value.size() - 1)) {
        return false;
    }
    for (qsizetype i = 1; i < value.size() - 1; ++i) {
        if (value.at(i) == QLatin1Char('"') && !escapedAt(value, i))
            return false;
    }
    return true;
}

int hexValue(QChar c) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

// Reads a run of digits of one base after a backslash escape; the code point, or -1 when it is none.
char32_t readEscapedNumber(QStringView text, qsizetype& i, int base) {
    char32_t code = 0;
    const qsizetype start = i;
    while (i < text.size()) {
        const int digit = hexValue(text.at(i));
        if (digit < 0 || digit >= base)
            break;
        code = code * static_cast<char32_t>(base) + static_cast<char32_t>(digit);
        if (code > 0x10FFFF)
            return static_cast<char32_t>(-1);
        ++i;
    }
    return i == start ? static_cast<char32_t>(-1) : code;
}

// The escapes QSettings writes are undone; a backslash before anything else is kept as typed.
QString unescaped(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out.append(c);
            continue;
        }
        const QChar next = text.at(i + 1);
        static constexpr struct {
            char code;
            char value;
        } kSimple[] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'},
                       {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
        bool done = false;
        for (const auto& simple : kSimple) {
            if (next == QLatin1Char(simple.code)) {
                out.append(QLatin1Char(simple.value));
                ++i;
                done = true;
                break;
            }
        }
        if (done)
            continue;
        qsizetype end = i + 1;
        char32_t code = static_cast<char32_t>(-1);
        if (next == QLatin1Char('x')) {
            ++end;
            code = readEscapedNumber(text, end, 16);
        } else if (next >= QLatin1Char('0') && next <= QLatin1Char('7')) {
            code = readEscapedNumber(text, end, 8);
        }
        if (code == static_cast<char32_t>(-1)) {
            out.append(c);
            continue;
        }
        out.append(QString::fromUcs4(&code, 1));
        i = end - 1;
    }
    return out;
}

QString valueText(QStringView raw) {
    QStringView value = trimmedBlanks(raw);
    if (wholeQuoted(value))
        value = value.mid(1, value.size() - 2);
    QString text = unescaped(value);
    // QSettings doubles a leading "@" so that the text is not taken for one of its typed values, and
    // wraps a text holding a null character as "@String(...)".
    if (text.startsWith(QLatin1String("@@")))
        text.remove(0, 1);
    else if (text.startsWith(QLatin1String("@String(")) && text.endsWith(QLatin1Char(')')))
        text = text.mid(8, text.size() - 9);
    return text;
}

}  // namespace

QString systemReason(int errorNumber) {
#if defined(__GLIBC__)
    if (const char* text = strerrordesc_np(errorNumber))
        return QString::fromLocal8Bit(text);
#endif
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

SettingsFileSection parseSettingsSection(const QByteArray& bytes, const QString& section) {
    QByteArrayView data(bytes);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    QStringDecoder decoder(QStringConverter::Utf8);
    const QString text = decoder.decode(data);
    if (decoder.hasError())
        return unreadable(QStringLiteral("its contents are not UTF-8 text"));

    SettingsFileSection result;
    result.state = SettingsFileSection::State::Read;
    bool inSection = false;
    int lineNumber = 0;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text.at(end) != QLatin1Char('\n') && text.at(end) != QLatin1Char('\r'))
            ++end;
        const QStringView line = trimmedBlanks(QStringView(text).mid(pos, end - pos));
        ++lineNumber;
        if (end + 1 < text.size() && text.at(end) == QLatin1Char('\r') &&
            text.at(end + 1) == QLatin1Char('\n'))
            ++end;
        pos = end + 1;

        if (line.isEmpty() || line.front() == QLatin1Char(';'))
            continue;
        if (line.front() == QLatin1Char('[')) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                return unreadable(
                    QStringLiteral("line %1 opens a section without closing it").arg(lineNumber));
            inSection = trimmedBlanks(line.mid(1, close - 1)) == section;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            return unreadable(
                QStringLiteral("line %1 is neither a section, a comment nor a key with its value")
                    .arg(lineNumber));
        }
        if (inSection)
            result.values.insert(trimmedBlanks(line.left(equals)).toString(),
                                 valueText(line.mid(equals + 1)));
    }
    return result;
}

SettingsFileSection readSettingsSection(const QString& fileName, const QString& section) {
    const QByteArray path = QFile::encodeName(fileName);
    // Non-blocking, so that a pipe in the file's place cannot hold the program up.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return unreadable(systemReason(errno));
    }
    struct stat info {};
    QByteArray bytes;
    int failure = 0;
    if (::fstat(fd, &info) != 0) {
        failure = errno;
    } else if (S_ISDIR(info.st_mode)) {
        failure = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return unreadable(QStringLiteral("it is not an ordinary file"));
    } else {
        bytes.reserve(static_cast<qsizetype>(info.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                bytes.append(buffer, static_cast<qsizetype>(n));
            } else if (n == 0) {
                break;
            } else if (errno != EINTR) {
                failure = errno;
                break;
            }
        }
    }
    ::close(fd);
    if (failure != 0)
        return unreadable(systemReason(failure));
    return parseSettingsSection(bytes, section);
}

}  // namespace shell
