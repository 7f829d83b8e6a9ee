#pragma once

#include <string>
#include <string_view>

// The agent's own messages, one line each on standard error (the desktop session's journal keeps
// them). Lines whose wording other tools or people rely on go out exactly as given.
namespace Diagnostics {

// "zelbrin-client: " and the text.
void say(std::string_view text);
// The text as it is, for lines of a fixed wording.
void line(std::string_view text);
// At most forty characters of a text from another machine, anything unprintable as "?".
std::string printable(std::string_view text);
// A job that is not carried out because a piece of it is missing.
void rejected(std::string_view keyword, std::string_view why);

}  // namespace Diagnostics
