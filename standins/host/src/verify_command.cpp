#include <iterator>

#include "certificate_file.h"
#include "cms_verifier.h"
#include "command_options.h"
#include "commands.h"
#include "progress_input.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

int verifyCommand(const Arguments& arguments, bool progress, std::ostream& out, std::ostream& err) {
    std::string signaturePath;
    std::string contentPath;
    std::vector<std::string> authorityPaths;
    po::options_description options("verify");
    options.add_options()("signature", po::value(&signaturePath)->required(),
                          "CMS signature, DER or PEM")("content", po::value(&contentPath),
                                                       "the signed file, for a detached signature")(
        "ca", po::value(&authorityPaths)->composing(), "trusted CA certificate(s), PEM or DER");
    po::positional_options_description positional;
    positional.add("signature", 1);
    parseArguments(arguments, options, positional);

    requireGostAlgorithms();  // before any certificate is decoded: its key is a GOST key
    InputFile signatureFile(signaturePath);
    const std::string signature(std::istreambuf_iterator<char>(&signatureFile), {});
    std::vector<X509Ptr> authorities;
    for (const auto& path : authorityPaths) {
        for (auto& certificate : readCertificates(path)) {
            authorities.push_back(std::move(certificate));
        }
    }
    try {
        const CmsVerifier verifier(signature);
        if (verifier.detached() == contentPath.empty()) {
            throw po::error(verifier.detached()
                                ? "the signature is detached: name the signed file with --content"
                                : "the signature holds its content: --content is not taken");
        }
        out << "signer:       " << verifier.signerSubject() << '\n'
            << "serial:       " << verifier.signerSerial() << '\n'
            << "signing time: " << verifier.signingTime() << '\n';
        verifier.checkSignature();
        if (verifier.detached()) {
            InputFile content(contentPath);
            ProgressInput input(content, err, progress, {"verify"});
            verifier.checkContent(&input.stream());
            input.finish();
        } else {
            verifier.checkContent(nullptr);
        }
        verifier.checkSigningCertificate();
        verifier.checkChain(authorities);
    } catch (const SignatureInvalid& e) {
        err << "error: signature not valid: " << e.what() << '\n';
        return 1;
    }
    out << "signature valid\n";
    return 0;
}

}  // namespace kelvo::host::app
