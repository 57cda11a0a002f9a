#pragma once
// The fake build service's own small HTTP/1.1 server side: one request per connection, read
// from a socket as it arrives, and the ways of answering (well or badly) that tests need.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct WireRequest {
    std::string method;
    std::string target;  // as sent: path and query
    std::string path;
    std::string query;
    // In the order they arrived, so tests can check which line came first.
    std::vector<std::pair<std::string, std::string>> headers;
    // The body's bytes, kept up to a limit; `bodySize` counts them all.
    std::string body;
    std::uint64_t bodySize = 0;

    // The first header of that name, letter case ignored; empty when absent.
    std::string header(const std::string& name) const;
};

// How many body bytes to keep for a request whose head has been read; the rest is counted.
using KeepLimit = std::uint64_t (*)(const WireRequest& request);

// Reads one request. Bodies come with Content-Length (a 100-continue is answered first).
// False when the peer sent nothing usable or went away.
bool readRequest(int fd, WireRequest& request, KeepLimit keepLimit);

struct WireAnswer {
    int status = 200;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

// A complete, well-formed answer.
void sendAnswer(int fd, const WireAnswer& answer);

// The broken answers a test can ask for, by name:
//   hang        read the request, then never answer until the client goes away
//   close       close the connection without a byte
//   cut         announce `bytes` of body, send half of it, close
//   stall       announce `bytes` of body, send half of it, then hang
//   statusOnly  a status line and nothing else, then close
//   garbage     bytes that are not HTTP, then close
//   flood       a 200 answer announcing and sending `bytes` of filler (1 GB and more)
//   trickle     announce `bytes` of body, then send one byte every 100 ms until the client
//               goes away (never silent for long, never done)
// False for a name it does not know.
bool sendBroken(int fd, const std::string& action, int status, std::uint64_t bytes);

// Waits until the peer closes its side (or the fake stops).
void waitForPeerClose(int fd);
