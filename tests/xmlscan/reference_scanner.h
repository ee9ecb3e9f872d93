// A direct, recursive transcription of the element search, kept only to check the fast
// scanner against. Exponential on deep nesting: use it on small texts.
#pragma once

#include "xmlscan/element_access.h"

namespace drumlo::reference {

ElementExtent FindElement(TextView text, TextView start_prefix, TextView end_prefix,
                          Position& cursor);
ElementExtent FindInstruction(TextView text, TextView start_prefix, Position& cursor);
ElementExtent ExtentAt(TextView text, Position start, Position limit);

TextView GetContentFrom(TextView text, TextView name, Position& cursor, std::int32_t n);
TextView GetElementFrom(TextView text, TextView name, Position& cursor, std::int32_t n);
TextView GetContent(TextView text, TextView name, std::int32_t n);
TextView GetAttribute(TextView text, TextView name, std::int32_t n, TextView attribute);

}  // namespace drumlo::reference
