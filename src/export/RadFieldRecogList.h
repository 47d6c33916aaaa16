#pragma once
// The radiation field recognition results list "RadFieldRecogList": the significant vector, the method and the
// recognised field with its probability, and the reference vectors used, in text and JSON (one object, or an
// array of tables in the web layout).
#include "common/Messages.h"

namespace zel {

class FieldRecognition;

// Writes the list into the module's export directory; 0, or the flush failure code after an error message.
int writeRadFieldRecogList(const FieldRecognition& recognition, const MessageTarget& to);

}  // namespace zel
