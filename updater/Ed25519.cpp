#include "updater/Ed25519.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace folioport::Ed25519 {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

constexpr std::size_t signatureSize = 64;

Bio readingFrom(std::string_view pem) {
    return {BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free};
}

std::string textOf(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return {data, static_cast<std::size_t>(length)};
}

Key privateKey(std::string_view pem) {
    const Bio bio = readingFrom(pem);
    Key key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
    if (key && EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) key.reset();
    return key;
}

Key publicKey(std::string_view pem) {
    const Bio bio = readingFrom(pem);
    Key key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
    if (key && EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) key.reset();
    return key;
}

}  // namespace

std::string generatePrivateKey() {
    const Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free);
    const Bio bio(BIO_new(BIO_s_mem()), &BIO_free);
    PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    return textOf(bio.get());
}

std::expected<std::string, std::string> publicKeyOf(std::string_view privateKeyPem) {
    const Key key = privateKey(privateKeyPem);
    if (!key) return std::unexpected("not an Ed25519 private key in PEM form");
    const Bio bio(BIO_new(BIO_s_mem()), &BIO_free);
    PEM_write_bio_PUBKEY(bio.get(), key.get());
    return textOf(bio.get());
}

std::expected<std::string, std::string> sign(std::string_view privateKeyPem, std::string_view message) {
    const Key key = privateKey(privateKeyPem);
    if (!key) return std::unexpected("not an Ed25519 private key in PEM form");
    const DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    std::string signature(signatureSize, '\0');
    std::size_t length = signature.size();
    // why: pure Ed25519 signs in one call; it cannot stream, so what is signed is a small manifest.
    if (EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1 ||
        length != signatureSize)
        return std::unexpected("signing failed");
    return signature;
}

bool verify(std::string_view publicKeyPem, std::string_view message, std::string_view signature) {
    if (signature.size() != signatureSize) return false;
    const Key key = publicKey(publicKeyPem);
    if (!key) return false;
    const DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    return EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
}

}  // namespace folioport::Ed25519
