// SHA-256 digests of frames and files through OpenSSL's libcrypto, which uses the
// processor's SHA instructions where it has them: several times faster than Qt's own
// implementation, and an import hashes every frame and every file it adds.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

class QIODevice;

namespace quilmar {

// The 32-byte digest of the bytes.
QByteArray Sha256(QByteArrayView data);

// The digest of what the device gives from its position to its end; nullopt when reading
// fails (the device's errorString() says why).
std::optional<QByteArray> Sha256Of(QIODevice& device);

}  // namespace quilmar
