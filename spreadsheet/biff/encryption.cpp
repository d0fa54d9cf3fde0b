#include "spreadsheet/biff/encryption.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtEndian>
#include <algorithm>
#include <initializer_list>
#include <utility>

#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/biff/record_writer.h"
#include "spreadsheet/error.h"

namespace spreadsheet::biff {

// ---- RC4 ----

Rc4::Rc4(QByteArrayView key) {
    for (int i = 0; i < 256; ++i)
        state_[size_t(i)] = quint8(i);
    if (key.isEmpty())
        return;
    quint8 j = 0;
    for (int i = 0; i < 256; ++i) {
        j = quint8(j + state_[size_t(i)] + quint8(key[i % key.size()]));
        std::swap(state_[size_t(i)], state_[j]);
    }
}

quint8 Rc4::next() {
    ++i_;
    j_ = quint8(j_ + state_[i_]);
    std::swap(state_[i_], state_[j_]);
    return state_[quint8(state_[i_] + state_[j_])];
}

void Rc4::apply(char* data, qsizetype length) {
    for (qsizetype k = 0; k < length; ++k)
        data[k] = char(quint8(data[k]) ^ next());
}

void Rc4::skip(qsizetype length) {
    for (qsizetype k = 0; k < length; ++k)
        next();
}

namespace {

constexpr qsizetype kBlockSize = 1024;  // the key changes at every 1024 bytes of the stream
constexpr quint16 kRc4 = 0x0001;        // FILEPASS wEncryptionType; 0 is XOR obfuscation
constexpr quint32 kAlgRc4 = 0x6801, kAlgSha1 = 0x8004;
constexpr quint32 kFlagCryptoApi = 0x04, kFlagDocPropsInClear = 0x08;
constexpr qsizetype kSaltSize = 16, kVerifierSize = 16, kSha1Size = 20, kMd5Size = 16;
// Offsets in a CryptoAPI FILEPASS body of the two copies of the header flags.
constexpr qsizetype kFlagsCopy = 6, kHeaderFlags = 14;

[[noreturn]] void passwordNeeded() {
    throw SpreadsheetError(QStringLiteral(
        "The workbook is protected with a password (encrypted) and cannot be opened; remove the "
        "password in the program that made it and try again."));
}

QByteArray defaultPassword() {
    QByteArray bytes;
    for (const char16_t* c = kDefaultPassword; *c; ++c) {
        bytes.append(char(*c & 0xFF));
        bytes.append(char(*c >> 8));
    }
    return bytes;
}

QByteArray hashOf(QCryptographicHash::Algorithm algorithm, std::initializer_list<QByteArrayView> parts) {
    QCryptographicHash hash(algorithm);
    for (QByteArrayView part : parts)
        hash.addData(part);
    return hash.result();
}

QByteArray littleEndian32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(value, bytes.data());
    return bytes;
}

// The keys that one FILEPASS record gives with the default password, block by block.
class KeySchedule {
public:
    // Throws SpreadsheetError (the password message) for a FILEPASS this reader cannot use.
    explicit KeySchedule(QByteArrayView filePass);

    QByteArray key(quint32 block) const;
    // True when the default password is the file's password.
    bool opens() const;
    Rc4Variant variant() const { return variant_; }

private:
    void readCryptoApi(RecordCursor& c);

    Rc4Variant variant_ = Rc4Variant::Md5;
    QByteArray base_;  // what each block's key is hashed from, with the block number
    int keyBytes_ = 16;
    bool padFortyBitKey_ = false;
    QByteArray encryptedVerifier_;
    QByteArray encryptedVerifierHash_;
};

KeySchedule::KeySchedule(QByteArrayView filePass) {
    RecordCursor c(filePass, rec::FILEPASS);
    if (c.u16() != kRc4)
        passwordNeeded();  // XOR obfuscation, which the default password does not serve
    const quint16 major = c.u16();
    const quint16 minor = c.u16();
    if (major == 1 && minor == 1) {
        // [MS-OFFCRYPTO] 2.3.6: MD5 of the password, truncated and hashed 16 times with the salt.
        const QByteArrayView salt = c.bytes(kSaltSize);
        encryptedVerifier_ = c.bytes(kVerifierSize).toByteArray();
        encryptedVerifierHash_ = c.bytes(kMd5Size).toByteArray();
        const QByteArray truncated = hashOf(QCryptographicHash::Md5, {defaultPassword()}).left(5);
        QByteArray buffer;
        for (int i = 0; i < 16; ++i)
            buffer += truncated + salt.toByteArray();
        base_ = hashOf(QCryptographicHash::Md5, {buffer}).left(5);
        variant_ = Rc4Variant::Md5;
    } else if (major >= 2 && major <= 4 && minor == 2) {
        readCryptoApi(c);
    } else {
        passwordNeeded();
    }
}

void KeySchedule::readCryptoApi(RecordCursor& c) {
    // [MS-OFFCRYPTO] 2.3.5: an EncryptionHeader and an EncryptionVerifier; SHA-1 of salt and password.
    c.u32();  // a copy of the header's flags
    const quint32 headerSize = c.u32();
    RecordCursor header(c.bytes(qsizetype(std::min<quint32>(headerSize, quint32(c.remaining())))),
                        rec::FILEPASS);
    const quint32 flags = header.u32();
    header.u32();  // SizeExtra
    const quint32 algorithm = header.u32();
    const quint32 hashAlgorithm = header.u32();
    quint32 keyBits = header.u32();
    if (!(flags & kFlagCryptoApi) || (algorithm != 0 && algorithm != kAlgRc4) ||
        (hashAlgorithm != 0 && hashAlgorithm != kAlgSha1))
        passwordNeeded();
    if (keyBits == 0)
        keyBits = 40;
    if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
        passwordNeeded();
    if (c.u32() != kSaltSize)
        passwordNeeded();
    const QByteArrayView salt = c.bytes(kSaltSize);
    encryptedVerifier_ = c.bytes(kVerifierSize).toByteArray();
    if (c.u32() != kSha1Size)
        passwordNeeded();
    encryptedVerifierHash_ = c.bytes(kSha1Size).toByteArray();
    base_ = hashOf(QCryptographicHash::Sha1, {salt, defaultPassword()});
    keyBytes_ = int(keyBits / 8);
    padFortyBitKey_ = keyBits == 40;
    variant_ = Rc4Variant::CryptoApi;
}

QByteArray KeySchedule::key(quint32 block) const {
    if (variant_ == Rc4Variant::Md5)
        return hashOf(QCryptographicHash::Md5, {base_, littleEndian32(block)});
    QByteArray key = hashOf(QCryptographicHash::Sha1, {base_, littleEndian32(block)}).left(keyBytes_);
    // A 40-bit key is used as 128 bits whose last 88 are zero, as the CryptoAPI does.
    if (padFortyBitKey_)
        key.append(11, '\0');
    return key;
}

bool KeySchedule::opens() const {
    QByteArray verifier = encryptedVerifier_ + encryptedVerifierHash_;
    Rc4(key(0)).apply(verifier.data(), verifier.size());
    const QByteArray plain = verifier.left(kVerifierSize);
    const QByteArray hash = verifier.mid(kVerifierSize);
    return hashOf(variant_ == Rc4Variant::Md5 ? QCryptographicHash::Md5 : QCryptographicHash::Sha1,
                  {plain}) == hash;
}

// The key stream at any stream position, for positions that only grow.
class StreamCipher {
public:
    explicit StreamCipher(const KeySchedule& keys) : keys_(keys) {}

    void apply(char* stream, qsizetype from, qsizetype to) {
        while (from < to) {
            const qsizetype block = from / kBlockSize;
            if (!rc4_ || block != block_ || from < position_) {
                rc4_.emplace(keys_.key(quint32(block)));
                block_ = block;
                position_ = block * kBlockSize;
            }
            rc4_->skip(from - position_);
            const qsizetype stop = std::min(to, (block + 1) * kBlockSize);
            rc4_->apply(stream + from, stop - from);
            from = position_ = stop;
        }
    }

private:
    const KeySchedule& keys_;
    std::optional<Rc4> rc4_;
    qsizetype block_ = -1;
    qsizetype position_ = 0;
};

// Records a spreadsheet must read before it has the key, or while it decides whether to open the file at
// all: their bodies stay in the clear, although the key stream runs on over them.
bool leftInClear(quint16 id) {
    switch (id) {
        case rec::BOF:
        case rec::FILEPASS:
        case 0x0194:  // USREXCL
        case 0x0195:  // FILELOCK
        case 0x00E1:  // INTERFACEHDR
        case 0x0196:  // RRDINFO
        case 0x0138:  // RRDHEAD
            return true;
        default:
            return false;
    }
}

// Encrypting and decrypting are the same XOR with the key stream over the same bytes: every record body
// after the FILEPASS record, except those left in the clear and the sheet positions of BOUNDSHEET, which a
// spreadsheet reads to find the sheets.
void applyToRecords(QByteArray& stream, qsizetype from, const KeySchedule& keys) {
    StreamCipher cipher(keys);
    char* data = stream.data();
    qsizetype at = from;
    while (stream.size() - at >= 4) {
        const quint16 id = qFromLittleEndian<quint16>(data + at);
        const qsizetype end =
            std::min<qsizetype>(at + 4 + qFromLittleEndian<quint16>(data + at + 2), stream.size());
        if (!leftInClear(id)) {
            const qsizetype start = at + 4 + (id == rec::BOUNDSHEET ? 4 : 0);
            if (start < end)
                cipher.apply(data, start, end);
        }
        at = end;
    }
}

// The FILEPASS record of the globals: where its body starts and how long it is. Records before it are in
// the clear; nothing when the globals end without one, or the stream does not start with the globals.
std::optional<std::pair<qsizetype, qsizetype>> findFilePass(QByteArrayView stream) {
    qsizetype at = 0;
    while (stream.size() - at >= 4) {
        const quint16 id = qFromLittleEndian<quint16>(stream.data() + at);
        const qsizetype length = qFromLittleEndian<quint16>(stream.data() + at + 2);
        if ((at == 0 && id != rec::BOF) || stream.size() - at - 4 < length || id == rec::EOF_)
            return std::nullopt;
        if (id == rec::FILEPASS)
            return std::pair{at + 4, length};
        at += 4 + length;
    }
    return std::nullopt;
}

}  // namespace

std::optional<QByteArray> decryptWorkbookStream(QByteArray& stream) {
    const auto filePass = findFilePass(stream);
    if (!filePass)
        return std::nullopt;
    const QByteArray body = stream.mid(filePass->first, filePass->second);
    const KeySchedule keys(body);
    if (!keys.opens())
        passwordNeeded();
    applyToRecords(stream, filePass->first + filePass->second, keys);
    return body;
}

void encryptWorkbookStream(QByteArray& stream) {
    const auto filePass = findFilePass(stream);
    if (!filePass)
        throw SpreadsheetError(
            QStringLiteral("Internal error: an encrypted workbook without its FILEPASS record."));
    const KeySchedule keys(QByteArrayView(stream).sliced(filePass->first, filePass->second));
    if (!keys.opens())
        throw SpreadsheetError(QStringLiteral("The workbook's encryption is not the default password's."));
    applyToRecords(stream, filePass->first + filePass->second, keys);
}

void checkDefaultPasswordFilePass(QByteArrayView filePass) {
    bool opens = false;
    try {
        opens = KeySchedule(filePass).opens();
    } catch (const SpreadsheetError&) {
    }
    if (!opens)
        throw SpreadsheetError(QStringLiteral("The workbook's encryption is not the default password's."));
}

QByteArray filePassForWriting(QByteArrayView asRead) {
    QByteArray body = asRead.toByteArray();
    if (KeySchedule(asRead).variant() == Rc4Variant::CryptoApi) {
        for (qsizetype field : {kFlagsCopy, kHeaderFlags}) {
            const quint32 flags = qFromLittleEndian<quint32>(body.constData() + field);
            qToLittleEndian<quint32>(flags | kFlagDocPropsInClear, body.data() + field);
        }
    }
    return body;
}

QByteArray defaultPasswordFilePass(Rc4Variant variant, QByteArrayView salt, int keyBits) {
    if (salt.size() != kSaltSize || keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
        throw SpreadsheetError(QStringLiteral("Internal error: an impossible encryption was asked for."));
    QByteArray verifier(kVerifierSize, Qt::Uninitialized);
    QRandomGenerator::system()->generate(verifier.begin(), verifier.end());

    RecordBuffer b;
    b.u16(kRc4);
    QByteArray hashed;
    if (variant == Rc4Variant::Md5) {
        b.u16(1);
        b.u16(1);
        b.raw(salt.toByteArray());
        hashed = verifier + hashOf(QCryptographicHash::Md5, {verifier});
    } else {
        const quint32 flags = kFlagCryptoApi | kFlagDocPropsInClear;
        RecordBuffer header;
        header.u32(flags);
        header.u32(0);
        header.u32(kAlgRc4);
        header.u32(kAlgSha1);
        header.u32(quint32(keyBits));
        header.u32(1);  // PROV_RSA_FULL
        header.u32(0);
        header.u32(0);
        header.u16(0);  // the provider's name, which readers do not need: empty
        b.u16(4);
        b.u16(2);
        b.u32(flags);
        b.u32(quint32(header.size()));
        b.raw(header.bytes());
        b.u32(kSaltSize);
        b.raw(salt.toByteArray());
        hashed = verifier + hashOf(QCryptographicHash::Sha1, {verifier});
    }
    // The verifier and its hash are encrypted with block 0's key as one run of the key stream.
    auto assemble = [&](const QByteArray& verifierAndHash) {
        QByteArray body = b.bytes() + verifierAndHash.left(kVerifierSize);
        if (variant == Rc4Variant::CryptoApi)
            body += littleEndian32(kSha1Size);
        return body + verifierAndHash.mid(kVerifierSize);
    };
    const KeySchedule keys(assemble(hashed));  // the keys depend on the salt alone
    Rc4(keys.key(0)).apply(hashed.data(), hashed.size());
    return assemble(hashed);
}

}  // namespace spreadsheet::biff
