#include "certificate_file.h"

#include <iterator>
#include <stdexcept>

#include <openssl/err.h>
#include <openssl/pem.h>

#include "input_file.h"

namespace kelvo::host::app {

std::vector<X509Ptr> readCertificates(const std::string& path) {
    InputFile file(path);
    const std::string bytes(std::istreambuf_iterator<char>(&file), {});
    BioPtr pem(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    std::vector<X509Ptr> certificates;
    while (X509* certificate = PEM_read_bio_X509(pem.get(), nullptr, nullptr, nullptr)) {
        certificates.emplace_back(certificate);
    }
    if (certificates.empty()) {
        const auto* der = reinterpret_cast<const unsigned char*>(bytes.data());
        if (X509* certificate = d2i_X509(nullptr, &der, static_cast<long>(bytes.size()))) {
            certificates.emplace_back(certificate);
        }
    }
    ERR_clear_error();  // the end of a bundle is a failed read
    if (certificates.empty()) {
        throw std::runtime_error("no certificate in " + path);
    }
    return certificates;
}

}  // namespace kelvo::host::app
