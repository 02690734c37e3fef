// The record side of every TLS stream (SChannel's, OpenSSL's, the tests' scripted engine): held bytes, the first-byte
// check, the handshake loop, and post-handshake messages, which go back through the handshake call (TLS 1.3 on Windows
// 11 sends session tickets after every handshake, and a server may update its keys at any time; without this every read
// after them would fail).
#include "platform/nmail/TlsEngine.h"

#include <algorithm>
#include <cstring>

namespace nmail {
namespace {

constexpr size_t kRecordHeader = 5;
// Room for two whole records with their overhead: the engine takes one record at a time.
constexpr size_t kIncomingCapacity = 2 * (16384 + 2048 + kRecordHeader);
constexpr unsigned char kAlert = 0x15;
constexpr unsigned char kHandshake = 0x16;
constexpr unsigned char kProtocolVersion = 70;

size_t Byte(std::span<const char> bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}
size_t Word(std::span<const char> bytes, size_t at) {
    return Byte(bytes, at) << 8 | Byte(bytes, at + 1);
}

// Whether whole records from the start of `bytes` hold a protocol_version alert: a server that takes none
// of the versions the ClientHello offered.
bool HoldsVersionAlert(std::span<const char> bytes) {
    for (size_t at = 0; at + kRecordHeader <= bytes.size();) {
        size_t length = Word(bytes, at + 3);
        if (Byte(bytes, at) == kAlert && length >= 2 && at + kRecordHeader + 2 <= bytes.size() &&
            Byte(bytes, at + kRecordHeader + 1) == kProtocolVersion)
            return true;
        at += kRecordHeader + length;
    }
    return false;
}

// Whether our ClientHello offers TLS 1.3 in its supported_versions extension.
bool OffersTls13(std::span<const char> hello) {
    // Record header, handshake header, version and random; then the session id, the cipher suites and the
    // compression methods, each behind its length.
    size_t at = kRecordHeader + 4 + 2 + 32;
    if (hello.size() < at || Byte(hello, 0) != kHandshake || Byte(hello, kRecordHeader) != 1)
        return false;
    for (size_t lengthBytes : {1, 2, 1}) {
        if (at + lengthBytes > hello.size())
            return false;
        at += lengthBytes + (lengthBytes == 1 ? Byte(hello, at) : Word(hello, at));
    }
    if (at + 2 > hello.size())
        return false;
    size_t end = std::min(hello.size(), at + 2 + Word(hello, at));
    for (at += 2; at + 4 <= end; at += 4 + Word(hello, at + 2)) {
        if (Word(hello, at) != 43 || at + 5 > end)  // supported_versions
            continue;
        for (size_t v = at + 5; v + 2 <= std::min(end, at + 5 + Byte(hello, at + 4)); v += 2) {
            if (Word(hello, v) == 0x0304)
                return true;
        }
    }
    return false;
}

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
            error = engine_->Check(settings, deadline);
        if (error.failure != TlsFailure::None)
            return error;
        maxMessage_ = engine_->MaxMessage();
        if (maxMessage_ == 0)
            return {TlsFailure::Handshake, 0};
        tls13_ = engine_->Tls13();
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
            if (end_ > begin_ && Decrypt(deadline))
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

    std::span<char> Held() { return std::span<char>(incoming_.data() + begin_, end_ - begin_); }

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
                    return VersionOr({HandshakeFailureOf(r), 0});
            }
            versionAlert_ = versionAlert_ || HoldsVersionAlert(Held());
            EngineStep step = engine_->Handshake(first ? std::span<const char>() : Held());
            if (first)
                offeredTls13_ = OffersTls13(step.token);
            // Our own refusal of the version the server chose (OpenSSL's) means the same.
            versionAlert_ = versionAlert_ || HoldsVersionAlert(step.token);
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
                return VersionOr({TlsFailure::Handshake, step.code});
            KeepExtra(step.extra);
            if (step.status == EngineStatus::Ok)
                return {};  // What is left is protected data (or more post-handshake messages) for Decrypt.
            needMore = end_ == begin_;
        }
    }

    // A server that refused every version we offered: too old for us, or (when we offered no TLS 1.3, as
    // under Wine) newer than us. Otherwise `error`.
    TlsError VersionOr(TlsError error) {
        if (versionAlert_ || HoldsVersionAlert(Held()))
            return {offeredTls13_ ? TlsFailure::OldProtocol : TlsFailure::NewOnly, error.code};
        if (error.failure == TlsFailure::Closed && !sawFirstByte_ && !offeredTls13_)
            return {TlsFailure::NewOnlyLikely, 0};
        return error;
    }

    // The bytes the engine did not consume stay where they are; only the consumed ones are let go.
    void KeepExtra(size_t extra) {
        begin_ = end_ - std::min(extra, end_ - begin_);
        if (begin_ == end_)
            begin_ = end_ = 0;
    }

    // Decrypts the next record into plain_. False when more bytes are needed or the stream broke.
    bool Decrypt(Deadline deadline) {
        EngineStep step = engine_->Decrypt(Held());
        switch (step.status) {
            case EngineStatus::IncompleteMessage: return false;
            case EngineStatus::Ok:
            case EngineStatus::ContextExpired: break;
            case EngineStatus::Renegotiate:
                if (tls13_)
                    break;
                [[fallthrough]];  // A renegotiation: refused.
            case EngineStatus::ContinueNeeded:
            case EngineStatus::Failed: state_ = State::Broken; return false;
        }
        // An engine that answers by itself (OpenSSL: a KeyUpdate, a refused renegotiation) hands the answer out.
        if (!step.token.empty() && inner_->WriteAll(step.token.data(), step.token.size(), deadline) != IoResult::Ok) {
            state_ = State::Broken;
            return false;
        }
        plain_ = std::move(step.data);  // empty after a ticket or KeyUpdate: DecryptStep saw to that
        plainBegin_ = 0;
        KeepExtra(step.extra);
        closed_ = step.status == EngineStatus::ContextExpired;
        if (step.status == EngineStatus::Renegotiate) {
            // A ticket or KeyUpdate, as "Recognizing a Request to Renegotiate" asks: the bytes after it go to
            // the handshake call, which may answer (our own KeyUpdate); what it leaves is protected data again.
            maxMessage_ = Negotiate(deadline, false).failure == TlsFailure::None ? engine_->MaxMessage() : 0;
            if (maxMessage_ == 0)
                state_ = State::Broken;
        }
        return state_ != State::Broken;
    }

    // Whether the record that starts the held bytes can end inside the buffer without moving them.
    bool RecordFits() const {
        size_t need = kRecordHeader;
        if (end_ - begin_ >= kRecordHeader)
            need += size_t(static_cast<unsigned char>(incoming_[begin_ + 3])) << 8 |
                    static_cast<unsigned char>(incoming_[begin_ + 4]);
        return begin_ + need <= incoming_.size();
    }

    // More bytes from the server after those held; the first of all must start a TLS record.
    IoResult ReadMore(Deadline deadline) {
        if (begin_ > 0 && !RecordFits()) {
            std::memmove(incoming_.data(), incoming_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        if (end_ == incoming_.size())
            return IoResult::Failed;  // A whole buffer without one complete record.
        size_t got = 0;
        IoResult r = inner_->Read(incoming_.data() + end_, incoming_.size() - end_, got, deadline);
        if (r != IoResult::Ok)
            return r;
        if (!sawFirstByte_) {
            sawFirstByte_ = true;
            notTls_ = !IsTlsRecordType(static_cast<unsigned char>(incoming_[end_]));
            if (notTls_)
                return IoResult::Failed;
        }
        end_ += got;
        return IoResult::Ok;
    }

    std::unique_ptr<Stream> inner_;
    std::unique_ptr<TlsEngine> engine_;
    std::vector<char> incoming_;  // Protected bytes from the server; those from begin_ to end_ are held.
    size_t begin_ = 0;
    size_t end_ = 0;
    std::vector<char> plain_;  // Decrypted bytes not yet handed out, from plainBegin_.
    size_t plainBegin_ = 0;
    size_t maxMessage_ = 0;
    State state_ = State::Plain;
    bool closed_ = false;
    bool sawFirstByte_ = false;
    bool notTls_ = false;
    bool offeredTls13_ = false;
    bool versionAlert_ = false;  // Seen among the server's handshake records, or sent by us.
    bool tls13_ = false;
};

}  // namespace

EngineStep DecryptStep(EngineStatus status, unsigned long code, std::span<const DecryptBuffer> buffers) {
    EngineStep step;
    step.status = status;
    step.code = code;
    const bool decrypted = status == EngineStatus::Ok || status == EngineStatus::ContextExpired;
    for (const DecryptBuffer& buffer : buffers) {
        if (buffer.type == DecryptBuffer::Type::Data && decrypted && buffer.data != nullptr)
            step.data.assign(buffer.data, buffer.data + buffer.size);
        if (buffer.type == DecryptBuffer::Type::Extra)
            step.extra = buffer.size;
    }
    return step;
}

std::unique_ptr<TlsStream> MakeEngineStream(std::unique_ptr<Stream> inner, std::unique_ptr<TlsEngine> engine) {
    return std::make_unique<EngineStream>(std::move(inner), std::move(engine));
}

}  // namespace nmail
