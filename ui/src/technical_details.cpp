#include <QString>

#include "ui/help_window.h"

namespace ui {

QString technicalDetailsText() {
    return QStringLiteral(
        "Quillora 1.5 (.qlx) and Quillora Light (.qll) save documents in a file format based "
        "on XML. When I designed it, one of its selling points was that it is entirely text: "
        "if a document ever got corrupted, you could open it in any word processor and copy "
        "out your words.\n"
        "\n"
        "Beta testing spoiled that. Text pasted in from other programs sometimes carried "
        "invisible \"bad\" characters that are not allowed in XML, and Quillora crashed when "
        "it tried to open a document that held them.\n"
        "\n"
        "So Quillora now stores all of a document's text as Base64. That makes any character "
        "harmless, but it also makes the text unreadable to people: a damaged document still "
        "opens in a word processor, yet all you see is lines of letters and digits.\n"
        "\n"
        "That is why I wrote QL Vodadov. It decodes the Base64 so that the plain text of a "
        "document Quillora refuses to open can at least be salvaged. All formatting is lost, "
        "which is not ideal, but it is much better than losing everything.\n"
        "\n"
        "It is not foolproof. Quillora's XML parser is extremely picky, so a slightly damaged "
        "file either does not open or makes Quillora crash. QL Vodadov does not parse XML at "
        "all: it takes the text out by hand, line by line, so corrupt and partial files can "
        "still be viewed. Even so, there are files it cannot read.\n"
        "\n"
        "If you have a corrupt file that even QL Vodadov cannot open, please send it to me so "
        "I can take a look. Some of its text may still be recoverable.");
}

}  // namespace ui
