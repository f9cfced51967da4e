// Escaping of text for the place in a page where it goes. Every page writes text that did not
// come from the program itself (form values, request variables, stored values) through one of
// these; nothing escapes by hand.
#ifndef TVR_GATEWAY_HTML_ESCAPE_H_
#define TVR_GATEWAY_HTML_ESCAPE_H_

#include <string>
#include <string_view>

namespace tvr::gateway {

// Text between tags: "&", "<" and ">" become entities.
std::string EscapeHtmlText(std::string_view text);

// A value inside a double- or single-quoted attribute: "&", "<", ">", '"' and "'" become
// entities. The caller writes the quotes.
std::string EscapeHtmlAttribute(std::string_view value);

// The content of a <textarea>, written directly after its start tag: escaped like text; when
// the value starts with a line break one more is put in front, because browsers drop a line
// break that directly follows the start tag.
std::string EscapeHtmlTextarea(std::string_view value);

// One value of a URL query ("...?name=<value>"): letters, digits and "-", "_", ".", "~" stay, a
// blank becomes "+", every other byte becomes "%XX" (upper-case hexadecimal). The result needs
// no further escaping inside an attribute.
std::string EncodeUrlQueryValue(std::string_view value);

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_HTML_ESCAPE_H_
