// The unit and the operator's files speak 8-bit Windows text (code page 1252); XML documents
// and the window speak Unicode. These convert between the two at those boundaries, and keep
// a document's text to the characters XML 1.0 allows.
#pragma once
#include <string>
#include <string_view>

namespace text_encoding {
// Code page 1252 to UTF-8. The five bytes the code page leaves undefined become the control
// characters of the same number, so every byte comes back. With forXml set, control bytes other
// than TAB, CR and LF are dropped: XML 1.0 cannot hold them, not even as references.
std::string Cp1252ToUtf8(std::string_view text, bool forXml);
// UTF-8 to code page 1252: characters the code page lacks become '?', control characters other
// than TAB, CR and LF are dropped. A byte that is not part of a valid UTF-8 sequence is taken
// as a code page 1252 byte, as text written before the documents were UTF-8 holds them.
std::string Utf8ToCp1252(std::string_view text);
// Whether the bytes are valid UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(std::string_view text);
// The bytes as UTF-8 for a document: valid UTF-8 sequences kept, every other byte taken as a
// code page 1252 byte and converted. Nothing else changes.
std::string RepairUtf8(std::string_view text);
// Text for an XML 1.0 document: valid UTF-8 characters that XML allows, nothing else (control
// characters other than TAB, CR and LF, U+FFFE, U+FFFF and bytes of broken sequences dropped).
std::string XmlCharsOnly(std::string_view utf8);
// True when the text holds anything XmlCharsOnly would drop.
bool HasNonXmlChars(std::string_view utf8);
}  // namespace text_encoding
