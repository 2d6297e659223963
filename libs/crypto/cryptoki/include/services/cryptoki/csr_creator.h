#pragma once

#include "crypto/icsr_creator.h"

namespace kelvo::plugin::cryptoki {

// Generates a GOST key pair on the token and a PKCS#10 request signed with its new private
// key. Keeps nothing between calls.
class CsrCreator : public crypto::ICsrCreator {
public:
    boost::shared_ptr<Result> create(
        const boost::shared_ptr<crypto::CsrParams>& params,
        const boost::shared_ptr<crypto::IAuthHandle>& authHandle) override;
};

}  // namespace kelvo::plugin::cryptoki
