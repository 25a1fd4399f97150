#include "self_signed.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

namespace Pelkctl {
namespace {

template <class T, void (*Free)(T*)>
struct Freer {
  void operator()(T* p) const { Free(p); }
};
template <class T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Freer<T, Free>>;

void CloseFile(FILE* f) { std::fclose(f); }

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("cannot make a certificate: ") + what);
}

void WritePem(const std::string& path, const std::function<int(FILE*)>& write) {
  Owned<FILE, CloseFile> file(std::fopen(path.c_str(), "w"));
  Check(file != nullptr && write(file.get()) == 1, path.c_str());
}

}  // namespace

SelfSigned MakeSelfSigned() {
  Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "key");
  Owned<X509, X509_free> cert(X509_new());
  Check(cert != nullptr, "certificate");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), static_cast<long>(::getpid()));
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7L * 24 * 3600);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
  Owned<X509_EXTENSION, X509_EXTENSION_free> names(
      X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1,IP:::1"));
  Check(names != nullptr && X509_add_ext(cert.get(), names.get(), -1) == 1, "names");
  Check(X509_sign(cert.get(), key.get(), EVP_sha256()) > 0, "signature");

  const auto folder = std::filesystem::temp_directory_path() / ("pelkctl-serve-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  SelfSigned made{(folder / "server.pem").string(), (folder / "server.key").string(), ""};
  WritePem(made.certificateFile, [&](FILE* f) { return PEM_write_X509(f, cert.get()); });
  WritePem(made.keyFile,
           [&](FILE* f) { return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr); });

  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  Check(X509_digest(cert.get(), EVP_sha256(), digest, &length) == 1, "thumbprint");
  char hex[4];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : ":%02X", digest[i]);
    made.thumbprint += hex;
  }
  return made;
}

}  // namespace Pelkctl
