#include <iostream>
#include <optional>
#include <stdexcept>

#include "certificate_file.h"
#include "cms_signer.h"
#include "command_options.h"
#include "commands.h"
#include "crypto/icertificate.h"
#include "crypto/ihash.h"
#include "crypto/iprivate_key.h"
#include "crypto/iprovider.h"
#include "cryptoki/device.h"
#include "input_file.h"
#include "output_file.h"
#include "progress_input.h"
#include "provider_lookup.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

namespace {

const char* const kDefaultHash = "1.2.643.7.1.1.2.2";  // GOST R 34.11-2012, 256 bits
const std::uint64_t kMaxRandomBytes = 65536;

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
    (isStandardOutput(out) ? context.err : context.out) << hex(bytes) << '\n';
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
    (isStandardOutput(out) ? context.err : context.out) << hex(digest) << "  " << file << '\n';
    return 0;
}

namespace {

// The signer's key, logged in. The PIN comes before the data is read: a wrong one must not
// cost a read of a large file. The key keeps the login until it goes, after the signature.
boost::shared_ptr<plugin::crypto::IPrivateKey> authenticatedKey(
    CommandContext& context, const plugin::module::IToken::CertificatePtr& signer,
    const std::string& what) {
    const auto key = signer->privateKey();
    if (!key || !context.ui.authenticateKey(key, "sign " + what)) {
        throw std::runtime_error("the signer's key was not authenticated");
    }
    return key;
}

struct SignRequest {
    std::string file;
    std::string certificate;
    std::string out;
};

// The module's hash-and-sign: two passes, the raw signature as the module returns it.
int signRaw(CommandContext& context, const SignRequest& request, const std::string& algorithm,
            const std::string& digestOut) {
    InputFile data(request.file);
    if (!data.size()) {
        throw po::error("the token reads the data twice: standard input must be a file (< FILE)");
    }
    refuseSameOutput(request.out, digestOut);
    OutputFile signatureFile(request.out);
    auto digestFile = outputFileIfNamed(digestOut);
    const auto device = selectDevice(context);
    const auto signer = selectCertificate(context, device, request.certificate);
    const auto provider = signer->provider(L"");
    if (!provider) {
        throw std::runtime_error("the certificate has no provider");
    }
    const auto hash = provider->createHash(algorithm, signer);
    const auto key = authenticatedKey(context, signer, data.path());
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
    (isStandardOutput(request.out) || isStandardOutput(digestOut) ? context.err : context.out)
        << "digest:    " << hex(digest) << '\n'
        << "signature: " << signature.size() << " bytes written to " << request.out << '\n';
    return 0;
}

// CMS with the token key as OpenSSL sees it: one pass over the data, the token signs the
// signed attributes.
int signAsCms(CommandContext& context, const SignRequest& request, const std::string& chainFile,
              const CmsLayout& layout) {
    InputFile data(request.file);
    OutputFile signatureFile(request.out);
    requireGostAlgorithms();  // before any certificate is decoded: its key is a GOST key
    const auto chain = chainFile.empty() ? std::vector<X509Ptr>() : readCertificates(chainFile);
    const auto device = selectDevice(context);
    const auto signer = selectCertificate(context, device, request.certificate);
    const auto key = authenticatedKey(context, signer, data.path());
    if (!key->context() || !signer->x509()) {
        throw std::runtime_error("the token offers no OpenSSL view of the signer's key");
    }
    ProgressInput input(data, context.err, context.progress, {"sign"});
    const std::string signature =
        signCms(signer->x509(), key->context(), chain, input.stream(), layout);
    input.finish();
    signatureFile.commit(signature);
    (isStandardOutput(request.out) ? context.err : context.out)
        << "signature: CMS (CAdES-BES, " << (layout.attached ? "attached" : "detached") << ", "
        << (layout.pem ? "PEM" : "DER") << "), " << signature.size() << " bytes written to "
        << request.out << '\n';
    return 0;
}

}  // namespace

int signCommand(CommandContext& context, const Arguments& arguments) {
    SignRequest request;
    std::string format = "raw";
    std::string algorithm = kDefaultHash;
    std::string digestOut;
    std::string chain;
    CmsLayout layout;
    po::options_description options("sign");
    options.add_options()("file", po::value(&request.file)->required(),
                          "file to sign; - for standard input")(
        "cert", po::value(&request.certificate),
        "signer: SHA-1 thumbprint, serial or container (default: the only one)")(
        "out", po::value(&request.out)->required(), "signature file")(
        "format", po::value(&format), "raw (the module's signature bytes) or cms")(
        "algorithm", po::value(&algorithm), "raw: hash algorithm OID")(
        "digest-out", po::value(&digestOut), "raw: also write the digest to this file")(
        "chain", po::value(&chain), "cms: intermediate certificates to include (PEM or DER)")(
        "attached", po::bool_switch(&layout.attached), "cms: the content inside the signature")(
        "pem", po::bool_switch(&layout.pem), "cms: PEM instead of DER");
    po::positional_options_description positional;
    positional.add("file", 1);
    const auto values = parseArguments(arguments, options, positional);
    const auto given = [&values](const char* name) {
        return values.count(name) && !values[name].defaulted();
    };
    if (format == "raw") {
        if (given("chain") || layout.attached || layout.pem) {
            throw po::error("--chain, --attached and --pem are for --format cms");
        }
        return signRaw(context, request, algorithm, digestOut);
    }
    if (format != "cms") {
        throw po::error("--format expects raw or cms");
    }
    if (given("algorithm") || given("digest-out")) {
        throw po::error("--algorithm and --digest-out are for --format raw: CMS follows the key");
    }
    return signAsCms(context, request, chain, layout);
}

}  // namespace kelvo::host::app
