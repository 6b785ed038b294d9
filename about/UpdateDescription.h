#pragma once

#include <QString>

// Reads the offered version from a downloaded update description: the text of
// the first Program_Version under the first Program_Info under the document
// element. A missing Program_Version gives the empty text. Throws
// platform::Error when the file isn't well-formed XML, has no Program_Info,
// or its Program_Version holds anything but one piece of text.
QString readOfferedVersion(const QString& path);
