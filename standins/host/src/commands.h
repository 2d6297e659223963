#pragma once

#include <ostream>
#include <string>

#include <boost/optional.hpp>

#include "command_context.h"
#include "host_session.h"

namespace kelvo::host::app {

// Token commands; each parses its own arguments and returns the exit code.
int devicesCommand(CommandContext& context, const Arguments& arguments);
int certificatesCommand(CommandContext& context, const Arguments& arguments);
int containersCommand(CommandContext& context, const Arguments& arguments);
int randomCommand(CommandContext& context, const Arguments& arguments);
int hashCommand(CommandContext& context, const Arguments& arguments);
int signCommand(CommandContext& context, const Arguments& arguments);
int keygenCommand(CommandContext& context, const Arguments& arguments);
int installCommand(CommandContext& context, const Arguments& arguments);
int deleteCertificateCommand(CommandContext& context, const Arguments& arguments);
int deleteContainerCommand(CommandContext& context, const Arguments& arguments);
// A long-lived host: commands from standard input, and token insertions and removals.
int shellCommand(CommandContext& context, const Arguments& arguments);
// The exit status of one shell line, none for a blank line or a comment.
boost::optional<int> runShellLine(CommandContext& context, const std::string& line);
int watchCommand(CommandContext& context, const Arguments& arguments);

// Commands without a token.
int modulesCommand(const HostSession& host, std::ostream& out);
int errorCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);
// Checks a CMS signature: 0 valid, 1 not valid (the reason on err).
int verifyCommand(const Arguments& arguments, bool progress, std::ostream& out, std::ostream& err);

}  // namespace kelvo::host::app
