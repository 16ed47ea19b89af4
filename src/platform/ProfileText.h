#pragma once
// Editing the text of an INI-syntax file in memory.

#include <string>
#include <string_view>

namespace ruvevid {

// The text Contents with Key set to Value in section Section:
// - a section is a line "[name]" (leading blanks allowed, the name is what stands between '[' and
//   the last ']', blanks trimmed); its keys are the lines up to the next section line;
// - a key line is "name=value" (the name is what precedes the first '=', blanks trimmed; a line
//   without '=' is a name alone); lines beginning with ';' are comments;
// - names are compared without regard to ASCII letter case, the first match counts;
// - an existing key keeps everything up to and including its '=' and its line end; only the value
//   is replaced (a key without '=' gets "=" and the value);
// - a missing key is added after the section's last non-blank line, a missing section with its
//   key at the end of the text;
// - added lines end like the first line of the text that has an end (CR LF when none has);
// - every other byte stays as it was.
// Section and Key are used with surrounding blanks trimmed.
std::string SetProfileKey(std::string_view Contents, std::string_view Section, std::string_view Key,
                          std::string_view Value);

// True when Section, Key and Value can be written without changing the file's structure: none
// holds CR, LF or NUL, the section no ']' and the key no '=' and no leading ';' or '['.
bool IsWritableProfileKey(std::string_view Section, std::string_view Key, std::string_view Value);

}  // namespace ruvevid
