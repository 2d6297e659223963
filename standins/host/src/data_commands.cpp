#include <iostream>
#include <optional>
#include <stdexcept>

#include "command_options.h"
#include "commands.h"
#include "crypto/icertificate.h"
#include "crypto/ihash.h"
#include "crypto/iprivate_key.h"
#include "crypto/iprovider.h"
#include "cryptoki/device.h"
#include "input_file.h"
#include "output_file.h"
#include "progress_bar.h"
#include "progress_streambuf.h"
#include "provider_lookup.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

namespace {

const char* const kDefaultHash = "1.2.643.7.1.1.2.2";  // GOST R 34.11-2012, 256 bits
const std::uint64_t kMaxRandomBytes = 65536;

// The input as a stream that reports progress on the terminal while the token reads it. A
// read error leaves the stream as the reader's exception, never as an early end of the data.
class ProgressInput {
public:
    ProgressInput(InputFile& file, std::ostream& terminal, bool show,
                  std::vector<std::string> passes) {
        if (show && file.size()) {
            bar_.emplace(terminal, *file.size(), std::move(passes));
        }
        buffer_.emplace(file, [this](int pass, std::uint64_t position) {
            if (bar_) {
                bar_->update(pass, position);
            }
        });
        stream_.rdbuf(&*buffer_);
        stream_.exceptions(std::ios::badbit);
    }

    std::istream& stream() { return stream_; }
    void finish() {
        if (bar_) {
            bar_->finish();
        }
    }

private:
    std::optional<ProgressBar> bar_;
    std::optional<ProgressStreambuf> buffer_;
    std::istream stream_{nullptr};
};

boost::shared_ptr<plugin::crypto::IProvider> tokenProvider(
    CommandContext& context, const plugin::module::IToken::DevicePtr& device) {
    return providerFor(context.token, context.host.session(), device);
}

}  // namespace

int randomCommand(CommandContext& context, const Arguments& arguments) {
    std::string countText = "32";
    std::string out;
    po::options_description options("random");
    options.add_options()("count", po::value(&countText), "number of bytes (default 32)")(
        "out", po::value(&out), "write the raw bytes to this file");
    po::positional_options_description positional;
    positional.add("count", 1);
    parseArguments(arguments, options, positional);
    const auto count = numberInRange(countText, 1, kMaxRandomBytes, "COUNT");
    auto output = outputFileIfNamed(out);
    const auto device = selectDevice(context);
    const auto bytes = context.token.randomBytes(device, count);
    if (output) {
        output->commit(std::string(bytes.begin(), bytes.end()));
    }
    context.out << hex(bytes) << '\n';
    return 0;
}

int hashCommand(CommandContext& context, const Arguments& arguments) {
    std::string file;
    std::string algorithm = kDefaultHash;
    std::string out;
    po::options_description options("hash");
    options.add_options()("file", po::value(&file)->required(),
                          "file to digest; - for standard input")(
        "algorithm", po::value(&algorithm), "hash algorithm OID")(
        "out", po::value(&out), "write the raw digest to this file");
    po::positional_options_description positional;
    positional.add("file", 1);
    parseArguments(arguments, options, positional);

    InputFile data(file);
    auto output = outputFileIfNamed(out);
    const auto device = selectDevice(context);
    const auto hash = tokenProvider(context, device)->createHash(algorithm, nullptr);
    ProgressInput input(data, context.err, context.progress, {"digest"});
    const std::string digest = hash->create(input.stream());
    input.finish();
    if (output) {
        output->commit(digest);
    }
    context.out << hex(digest) << "  " << file << '\n';
    return 0;
}

int signCommand(CommandContext& context, const Arguments& arguments) {
    std::string file;
    std::string certificateSelector;
    std::string algorithm = kDefaultHash;
    std::string out;
    std::string digestOut;
    po::options_description options("sign");
    options.add_options()("file", po::value(&file)->required(),
                          "file to sign; - for standard input redirected from a file")(
        "cert", po::value(&certificateSelector),
        "signer: SHA-1 thumbprint, serial or container (default: the only one)")(
        "algorithm", po::value(&algorithm), "hash algorithm OID")(
        "out", po::value(&out)->required(), "signature file (bytes as the module returns them)")(
        "digest-out", po::value(&digestOut), "also write the digest to this file");
    po::positional_options_description positional;
    positional.add("file", 1);
    parseArguments(arguments, options, positional);

    InputFile data(file);
    if (!data.size()) {
        throw po::error("the token reads the data twice: standard input must be a file (< FILE)");
    }
    OutputFile signatureFile(out);
    auto digestFile = outputFileIfNamed(digestOut);
    const auto device = selectDevice(context);
    const auto signer = selectCertificate(context, device, certificateSelector);
    const auto provider = signer->provider(L"");
    if (!provider) {
        throw std::runtime_error("the certificate has no provider");
    }
    const auto hash = provider->createHash(algorithm, signer);
    // The PIN before the first pass: a wrong one must not cost a read of a large file. The
    // key keeps the login until it goes, after the signature.
    const auto key = signer->privateKey();
    if (!key || !context.ui.authenticateKey(key, "sign " + data.path())) {
        throw std::runtime_error("the signer's key was not authenticated");
    }
    ProgressInput input(data, context.err, context.progress, {"digest", "signature"});
    const std::string digest = hash->create(input.stream());
    input.finish();
    const std::string signature = hash->signatureValue();
    if (signature.empty()) {
        throw std::runtime_error("the token returned no signature");
    }
    signatureFile.commit(signature);
    if (digestFile) {
        digestFile->commit(digest);
    }
    context.out << "digest:    " << hex(digest) << '\n'
                << "signature: " << signature.size() << " bytes written to " << out << '\n';
    return 0;
}

}  // namespace kelvo::host::app
