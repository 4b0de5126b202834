#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace glossan {

// A SHA-256 digest computed block by block as a body arrives.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const char* data, size_t length);
    // Lower-case hex of everything added; empty if the digest failed.
    std::string hex();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace glossan
