#include "platform/http_connection.h"

#include <algorithm>

#include "platform/file_reading.h"

namespace platform::http_detail {

using net::Transfer;

bool sendAll(net::SocketId socket, std::vector<std::string_view> parts,
             std::chrono::milliseconds stall) {
    std::erase_if(parts, [](std::string_view part) { return part.empty(); });
    std::size_t first = 0;
    while (first < parts.size()) {
        const std::size_t count = std::min<std::size_t>(parts.size() - first, 8);
        Transfer sent = net::sendSome(socket, std::span(parts).subspan(first, count));
        if (sent.status == Transfer::Status::wouldBlock) {
            if (!net::waitWritable(socket, stall)) return false;
            continue;
        }
        if (sent.status != Transfer::Status::moved) return false;
        std::size_t left = sent.bytes;
        while (first < parts.size() && left >= parts[first].size())
            left -= parts[first++].size();
        if (left > 0) parts[first].remove_prefix(left);
    }
    return true;
}

void sendWithoutWaiting(net::SocketId socket, std::string_view bytes) {
    while (!bytes.empty()) {
        Transfer sent = net::sendSome(socket, std::span(&bytes, 1));
        if (sent.status != Transfer::Status::moved) return;
        bytes.remove_prefix(sent.bytes);
    }
}

void writeStream(net::SocketId socket, const ServerRequest& request, ServerResponse& response,
                 const std::vector<HttpHeader>& common, std::chrono::milliseconds stall) {
    bool whole = sendAll(socket, {responseHead(response, common, true)}, stall);
    while (whole && request.method != "HEAD") {
        std::optional<std::string> piece = response.stream();
        if (!piece) {
            sendAll(socket, {kLastChunk}, stall);
            break;
        }
        // An empty chunk would read as the last one.
        if (!piece->empty())
            whole = sendAll(socket, {chunkSizeLine(piece->size()), *piece, kChunkEnd}, stall);
    }
    if (response.streamEnded) response.streamEnded();
}

// A file goes out in pieces of this size: enough for few system calls, little enough that a
// hundred slow readers hold a few megabytes.
constexpr std::size_t kFilePiece = 64 << 10;

Outgoing::Outgoing(const ServerRequest& request, ServerResponse& response,
                   const std::vector<HttpHeader>& common, bool closeAfter)
    : head_(responseHead(response, common, closeAfter)), closeAfter_(closeAfter) {
    if (request.method == "HEAD") return;
    if (response.file) {
        file_ = std::move(response.file);
        fileLeft_ = response.fileBytes;
    } else if (!response.lastingBody.empty()) {
        lasting_ = response.lastingBody;
    } else {
        body_ = std::move(response.body);
    }
}

bool Outgoing::readPiece() {
    piece_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(fileLeft_, kFilePiece)));
    std::size_t got = 0;
    while (got < piece_.size()) {
        Result<std::size_t> n = readSome(file_, piece_.data() + got, piece_.size() - got);
        // A file that shrank since its length went out cannot complete the answer.
        if (!n || *n == 0) return false;
        got += *n;
    }
    fileLeft_ -= got;
    pieceSent_ = 0;
    return true;
}

Outgoing::Progress Outgoing::sendSome(net::SocketId socket, bool& moved) {
    moved = false;
    while (true) {
        const std::string_view body = lasting_.empty() ? std::string_view(body_) : lasting_;
        // The head and what is left of the body in one call, or else the file's next piece.
        std::string_view parts[2] = {std::string_view(head_).substr(headSent_),
                                     body.substr(bodySent_)};
        std::size_t* offsets[2] = {&headSent_, &bodySent_};
        if (parts[0].empty() && parts[1].empty()) {
            if (pieceSent_ == piece_.size() && fileLeft_ > 0 && !readPiece())
                return Progress::failed;
            if (pieceSent_ == piece_.size()) return Progress::done;
            parts[0] = std::string_view(piece_).substr(pieceSent_);
            offsets[0] = &pieceSent_;
        }
        Transfer sent = net::sendSome(socket, parts);
        if (sent.status == Transfer::Status::wouldBlock) return Progress::waiting;
        if (sent.status != Transfer::Status::moved) return Progress::failed;
        moved = true;
        std::size_t left = sent.bytes;
        for (std::size_t i = 0; i < 2 && left > 0; ++i) {
            std::size_t taken = std::min(left, parts[i].size());
            *offsets[i] += taken;
            left -= taken;
        }
    }
}

}  // namespace platform::http_detail
