#include "Sha256.h"

#include <openssl/evp.h>

namespace glossan {

struct Sha256::State {
    struct Free {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> context{EVP_MD_CTX_new()};
    bool ok = false;
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {
    m_state->ok = m_state->context && EVP_DigestInit_ex(m_state->context.get(), EVP_sha256(), nullptr) == 1;
}

Sha256::~Sha256() = default;

void Sha256::add(const char* data, size_t length) {
    if (m_state->ok && length > 0) m_state->ok = EVP_DigestUpdate(m_state->context.get(), data, length) == 1;
}

std::string Sha256::hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!m_state->ok || EVP_DigestFinal_ex(m_state->context.get(), digest, &length) != 1) return std::string();
    m_state->ok = false;
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

}  // namespace glossan
