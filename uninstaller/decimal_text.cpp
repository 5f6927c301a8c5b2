#include "decimal_text.h"

#include <limits.h>

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

int DecimalValue(const char *text)
{
    while (IsSpace(*text))
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    // Counted toward the sign's side, so that INT_MIN is reached without passing INT_MAX.
    int value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        int digit = *text - '0';
        if (negative) {
            value = value < (INT_MIN + digit) / 10 ? INT_MIN : value * 10 - digit;
        } else {
            value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
        }
    }
    return value;
}
