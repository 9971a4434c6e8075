# Writes OUTPUT, a C++ source defining `const char NAME[]` with the bytes of INPUT.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT}.tmp "// Generated from ${INPUT}.\nextern const char ${NAME}[];\n"
     "const char ${NAME}[] = {${bytes}0};\n")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
