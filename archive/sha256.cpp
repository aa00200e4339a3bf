// SHA-256 through libcrypto; see sha256.h.
#include "sha256.h"

#include <openssl/evp.h>

#include <QIODevice>
#include <memory>

namespace quilmar {
namespace {

constexpr qint64 kReadBytes = 1 << 20;

struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

QByteArray Sha256(QByteArrayView data) {
  QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
  unsigned int length = 0;
  EVP_Digest(data.data(), static_cast<std::size_t>(data.size()),
             reinterpret_cast<unsigned char*>(digest.data()), &length, EVP_sha256(), nullptr);
  digest.resize(length);
  return digest;
}

std::optional<QByteArray> Sha256Of(QIODevice& device) {
  const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    return std::nullopt;
  }
  QByteArray chunk(kReadBytes, Qt::Uninitialized);
  qint64 got = 0;
  while ((got = device.read(chunk.data(), kReadBytes)) > 0) {
    EVP_DigestUpdate(context.get(), chunk.constData(), static_cast<std::size_t>(got));
  }
  if (got < 0) {
    return std::nullopt;
  }
  QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
  unsigned int length = 0;
  EVP_DigestFinal_ex(context.get(), reinterpret_cast<unsigned char*>(digest.data()), &length);
  digest.resize(length);
  return digest;
}

}  // namespace quilmar
