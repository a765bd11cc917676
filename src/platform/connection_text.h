// PostgreSQL connection texts (the site server's setting) as the terminal shows them: never with
// a password or anything else secret in them. Both forms libpq reads are understood: key=value
// pairs ("host=hist.example dbname=velmoor user=bench7 sslmode=verify-full", values quoted with
// '...' and backslash escapes) and URIs ("postgresql://bench7@hist.example:5432/velmoor?
// sslmode=verify-full", with %-escapes). Plain C++, no libpq: the session log and both programs'
// command lines use it before any connection is made.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// The text without its secrets, for messages and logs: only what names the server and who
// connects (host, hostaddr, port, dbname, user, sslmode, service), as key=value pairs in the order
// given (a URI's parts too), a value quoted when it holds a space, a quote or a backslash and
// control characters shown as '?'. What follows a part that cannot be read (an unclosed quote, a
// bad %-escape) is left out, and " ..." says that something was. Empty when nothing is kept.
std::string RedactConnection(std::string_view text);

// Whether the text carries a password: a password pair or URI parameter, a password in a URI's
// user part, or, wherever it stands, "password" followed by "=" (so a text that cannot be read
// counts when it may hold one).
bool ConnectionCarriesPassword(std::string_view text);

// A command line's words that give a password (in --site or anywhere else): the message that
// refuses them, naming none of them; empty when there is none.
std::string RefusePasswordIn(const std::vector<std::string>& words);
