// Decimal text to integer, as the registry's record numbers and "Counter" values need it.
#ifndef DECIMAL_TEXT_H
#define DECIMAL_TEXT_H

// The value of the decimal digits the text begins with, after blanks (space, tab, CR, LF,
// vertical tab, form feed) and one optional sign: "07" is 7, "12x" is 12; a text without
// leading digits ("", "x12") is 0. A value beyond int's range stops at its largest or smallest.
int DecimalValue(const char *text);

#endif
