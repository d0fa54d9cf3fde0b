#pragma once

// Workbook streams encrypted with the format's default password. A spreadsheet that protects a workbook's
// structure encrypts the file with the password "VelvetSweatshop" (RC4 with MD5 keys, or RC4 through the
// CryptoAPI with SHA-1 keys); every spreadsheet tries that password first and so opens the file without
// asking. The FILEPASS record at the start of the globals says which variant, and holds the salt and the
// encrypted password verifier. After it, every record's body is encrypted in place, record headers and a
// few records excepted, with a key that changes every 1024 bytes of the stream.

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <optional>

namespace spreadsheet::biff {

inline constexpr char16_t kDefaultPassword[] = u"VelvetSweatshop";

// The RC4 stream cipher.
class Rc4 {
public:
    explicit Rc4(QByteArrayView key);
    // XORs the next bytes of the key stream into the data.
    void apply(char* data, qsizetype length);
    void skip(qsizetype length);

private:
    quint8 next();
    std::array<quint8, 256> state_{};
    quint8 i_ = 0;
    quint8 j_ = 0;
};

enum class Rc4Variant {
    Md5,        // "RC4 encryption": FILEPASS version 1.1
    CryptoApi,  // "RC4 CryptoAPI encryption": FILEPASS version 2.2, 3.2 or 4.2
};

// Decrypts the stream in place when its globals hold a FILEPASS record that the default password opens, and
// returns that record's body, from which encryptWorkbookStream() encrypts the same way. Nothing for a stream
// without FILEPASS. Throws SpreadsheetError with the clear message for any other encryption: a password of
// the user's own, XOR obfuscation, or an encryption this reader does not know.
std::optional<QByteArray> decryptWorkbookStream(QByteArray& stream);

// Encrypts in place a plain workbook stream whose globals hold the FILEPASS record, exactly as
// decryptWorkbookStream() decrypts one. Throws SpreadsheetError when there is no such record or the default
// password does not open it.
void encryptWorkbookStream(QByteArray& stream);

// Throws SpreadsheetError unless the FILEPASS body is one the default password opens.
void checkDefaultPasswordFilePass(QByteArrayView filePass);

// The FILEPASS body to write for one as read: the same variant, salt and verifier. The CryptoAPI variant's
// flag that says the document properties are not encrypted is set, since they are written in the clear.
QByteArray filePassForWriting(QByteArrayView asRead);

// A new FILEPASS body for the default password. The salt must be 16 bytes; the key length (40 to 128 bits in
// steps of 8) matters only to the CryptoAPI variant, whose 40-bit keys spreadsheets of old wrote.
QByteArray defaultPasswordFilePass(Rc4Variant variant, QByteArrayView salt, int keyBits = 128);

}  // namespace spreadsheet::biff
