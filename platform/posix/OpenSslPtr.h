// One owner for every OpenSSL object: OpenSslPtr<X509>, OpenSslPtr<EVP_PKEY>, ... is a
// std::unique_ptr whose deleter calls the type's own free function (OpenSslFree below); an
// OpenSslPtr of a type that has none fails to compile where it would free the object.
//
// Stacks own their elements (they are freed with the stack), BIGNUMs are cleared before they are
// freed (most of them hold private key parts), and OpenSslPtr<unsigned char> owns a buffer that
// OpenSSL allocated, such as the output of an i2d_ function called with a null buffer.
#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/cms.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>

namespace zyq::platform::posix {

// The free function of each type that has an owner, found by overload resolution: a type with
// no entry here has no owner.
struct OpenSslFree {
  static void Free(unsigned char* bytes) { OPENSSL_free(bytes); }
  // ASN1_INTEGER and ASN1_TIME are this type too.
  static void Free(ASN1_STRING* string) { ASN1_STRING_free(string); }
  static void Free(ASN1_OBJECT* object) { ASN1_OBJECT_free(object); }
  static void Free(BIGNUM* number) { BN_clear_free(number); }
  static void Free(BN_CTX* context) { BN_CTX_free(context); }
  static void Free(BIO* bio) { BIO_free(bio); }
  static void Free(CMS_ContentInfo* message) { CMS_ContentInfo_free(message); }
  static void Free(EVP_CIPHER* cipher) { EVP_CIPHER_free(cipher); }
  static void Free(EVP_CIPHER_CTX* context) { EVP_CIPHER_CTX_free(context); }
  static void Free(EVP_ENCODE_CTX* context) { EVP_ENCODE_CTX_free(context); }
  static void Free(EVP_MD* digest) { EVP_MD_free(digest); }
  static void Free(EVP_MD_CTX* context) { EVP_MD_CTX_free(context); }
  static void Free(EVP_PKEY* key) { EVP_PKEY_free(key); }
  static void Free(EVP_PKEY_CTX* context) { EVP_PKEY_CTX_free(context); }
  static void Free(PKCS7* message) { PKCS7_free(message); }
  static void Free(PKCS8_PRIV_KEY_INFO* key) { PKCS8_PRIV_KEY_INFO_free(key); }
  static void Free(PKCS12* file) { PKCS12_free(file); }
  static void Free(PKCS12_SAFEBAG* bag) { PKCS12_SAFEBAG_free(bag); }
  static void Free(X509* certificate) { X509_free(certificate); }
  static void Free(X509_EXTENSION* extension) { X509_EXTENSION_free(extension); }
  static void Free(X509_NAME* name) { X509_NAME_free(name); }
  static void Free(X509_REQ* request) { X509_REQ_free(request); }
  static void Free(STACK_OF(PKCS7) * stack) { sk_PKCS7_pop_free(stack, PKCS7_free); }
  static void Free(STACK_OF(PKCS12_SAFEBAG) * stack) {
    sk_PKCS12_SAFEBAG_pop_free(stack, PKCS12_SAFEBAG_free);
  }
  static void Free(STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); }
};

template <typename T>
struct OpenSslDeleter {
  void operator()(T* object) const { OpenSslFree::Free(object); }
};

template <typename T>
using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<T>>;

}  // namespace zyq::platform::posix
