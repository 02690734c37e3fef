// The record side of an engine-driven TLS stream: held bytes, the first-byte check, the handshake loop,
// and post-handshake messages, which go back through the handshake call (TLS 1.3 on Windows 11 sends
// session tickets after every handshake; without this every read after them would fail).
#include "platform/nmail/TlsEngine.h"

#include <algorithm>
#include <cstring>

namespace nmail {
namespace {

// Room for two whole records with their overhead: the engine takes one record at a time.
constexpr size_t kIncomingCapacity = 2 * (16384 + 2048 + 5);

class EngineStream final : public TlsStream {
public:
    EngineStream(std::unique_ptr<Stream> inner, std::unique_ptr<TlsEngine> engine)
        : inner_(std::move(inner)), engine_(std::move(engine)), incoming_(kIncomingCapacity) {}

    ~EngineStream() override {
        // A polite close_notify, sent only when it can go at once.
        if (state_ != State::Secure)
            return;
        std::vector<char> alert = engine_->CloseNotify();
        if (!alert.empty())
            inner_->WriteAll(alert.data(), alert.size(), Clock::now());
    }

    TlsError Handshake(const TlsSettings& settings, Deadline deadline) override {
        state_ = State::Broken;
        if (unsigned long code = engine_->Begin(settings.host); code != 0)
            return {TlsFailure::Handshake, code};
        TlsError error = Negotiate(deadline, true);
        if (error.failure == TlsFailure::None)
            error = engine_->Check(settings);
        if (error.failure != TlsFailure::None)
            return error;
        maxMessage_ = engine_->MaxMessage();
        if (maxMessage_ == 0)
            return {TlsFailure::Handshake, 0};
        state_ = State::Secure;
        return {};
    }

    IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) override {
        if (state_ == State::Plain)
            return inner_->Read(buffer, capacity, got, deadline);
        for (;;) {
            if (state_ == State::Broken)
                return IoResult::Failed;
            if (plainBegin_ < plain_.size()) {
                got = std::min(capacity, plain_.size() - plainBegin_);
                std::memcpy(buffer, plain_.data() + plainBegin_, got);
                plainBegin_ += got;
                return IoResult::Ok;
            }
            if (closed_)
                return IoResult::Closed;
            if (used_ > 0 && Decrypt(deadline))
                continue;
            if (state_ == State::Broken)
                return IoResult::Failed;
            IoResult r = ReadMore(deadline);
            if (r != IoResult::Ok)
                return r;
        }
    }

    IoResult WriteAll(const char* data, size_t size, Deadline deadline) override {
        if (state_ == State::Plain)
            return inner_->WriteAll(data, size, deadline);
        if (state_ == State::Broken)
            return IoResult::Failed;
        std::vector<char> record;
        while (size > 0) {
            size_t n = std::min(size, maxMessage_);
            if (!engine_->Encrypt(std::span<const char>(data, n), record))
                return IoResult::Failed;
            IoResult r = inner_->WriteAll(record.data(), record.size(), deadline);
            if (r != IoResult::Ok)
                return r;
            data += n;
            size -= n;
        }
        return IoResult::Ok;
    }

private:
    enum class State { Plain, Secure, Broken };

    // Handshake calls until the engine is done: from the first ClientHello, or from the bytes held when a
    // post-handshake message came in (often none: the engine took the message from the decrypt call).
    TlsError Negotiate(Deadline deadline, bool first) {
        bool needMore = false;
        for (;;) {
            if (needMore) {
                IoResult r = ReadMore(deadline);
                if (notTls_)
                    return {TlsFailure::NotTls, 0};
                if (r != IoResult::Ok)
                    return {HandshakeFailureOf(r), 0};
            }
            EngineStep step = engine_->Handshake(std::span<const char>(incoming_.data(), first ? 0 : used_));
            first = false;
            if (step.status == EngineStatus::IncompleteMessage) {
                needMore = true;
                continue;
            }
            // Also after a failure: it may be the alert that tells the server why.
            if (!step.token.empty()) {
                IoResult r = inner_->WriteAll(step.token.data(), step.token.size(), deadline);
                if (r != IoResult::Ok && step.status != EngineStatus::Failed)
                    return {HandshakeFailureOf(r), 0};
            }
            if (step.status != EngineStatus::Ok && step.status != EngineStatus::ContinueNeeded)
                return {TlsFailure::Handshake, step.code};
            KeepExtra(step.extra);
            if (step.status == EngineStatus::Ok)
                return {};  // What is left is protected data (or more post-handshake messages) for Decrypt.
            needMore = used_ == 0;
        }
    }

    // The bytes the engine did not consume move to the front.
    void KeepExtra(size_t extra) {
        extra = std::min(extra, used_);
        std::memmove(incoming_.data(), incoming_.data() + used_ - extra, extra);
        used_ = extra;
    }

    // Decrypts the next record into plain_. False when more bytes are needed or the stream broke.
    bool Decrypt(Deadline deadline) {
        EngineStep step = engine_->Decrypt(std::span<char>(incoming_.data(), used_));
        switch (step.status) {
            case EngineStatus::IncompleteMessage: return false;
            case EngineStatus::Ok:
            case EngineStatus::Renegotiate:
            case EngineStatus::ContextExpired: break;
            case EngineStatus::ContinueNeeded:
            case EngineStatus::Failed: state_ = State::Broken; return false;
        }
        plain_ = std::move(step.data);
        plainBegin_ = 0;
        KeepExtra(step.extra);
        closed_ = step.status == EngineStatus::ContextExpired;
        if (step.status == EngineStatus::Renegotiate) {
            maxMessage_ = Negotiate(deadline, false).failure == TlsFailure::None ? engine_->MaxMessage() : 0;
            if (maxMessage_ == 0)
                state_ = State::Broken;
        }
        return state_ != State::Broken;
    }

    // More bytes from the server after those held; the first of all must start a TLS record.
    IoResult ReadMore(Deadline deadline) {
        if (used_ == incoming_.size())
            return IoResult::Failed;  // A whole buffer without one complete record.
        size_t got = 0;
        IoResult r = inner_->Read(incoming_.data() + used_, incoming_.size() - used_, got, deadline);
        if (r != IoResult::Ok)
            return r;
        if (!sawFirstByte_) {
            sawFirstByte_ = true;
            notTls_ = !IsTlsRecordType(static_cast<unsigned char>(incoming_[used_]));
            if (notTls_)
                return IoResult::Failed;
        }
        used_ += got;
        return IoResult::Ok;
    }

    std::unique_ptr<Stream> inner_;
    std::unique_ptr<TlsEngine> engine_;
    std::vector<char> incoming_;  // Protected bytes from the server, used_ of them held.
    size_t used_ = 0;
    std::vector<char> plain_;  // Decrypted bytes not yet handed out, from plainBegin_.
    size_t plainBegin_ = 0;
    size_t maxMessage_ = 0;
    State state_ = State::Plain;
    bool closed_ = false;
    bool sawFirstByte_ = false;
    bool notTls_ = false;
};

}  // namespace

std::unique_ptr<TlsStream> MakeEngineStream(std::unique_ptr<Stream> inner, std::unique_ptr<TlsEngine> engine) {
    return std::make_unique<EngineStream>(std::move(inner), std::move(engine));
}

}  // namespace nmail
