#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <string>
#include <vector>

// An HTTP(S) server on loopback serving a scratch folder, run by the
// Python script beside this file. Files are placed under the server's
// download path; requests are logged for the tests to count.
class TestServer {
public:
    struct Options {
        bool omitLength = false;
        int extraLength = 0;
        bool https = false;
        // "NAME=MODE[:ARG]": one file's misbehaviour (see serve.py).
        std::vector<std::string> faults;
    };

    TestServer();
    ~TestServer();

    // Starts the server and waits until it listens; false (with a
    // gtest failure) when it does not come up.
    bool start(const Options& options);
    bool start() { return start(Options{}); }
    void stop();

    // "http://127.0.0.1:PORT" (or https), without a trailing slash.
    std::string url() const { return m_url; }
    // Writes a file below /download/plugins/glossan/ on the server.
    void addFile(const std::string& name, const std::string& content);
    void addFolder(const std::string& name);
    // The requests answered so far, as "GET PATH STATUS".
    std::vector<std::string> requests() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    std::string m_url;
};

// A string of the given length with varied bytes.
std::string patternBytes(size_t length);
