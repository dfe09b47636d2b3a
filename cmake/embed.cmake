# cmake -DIN=file.sql -DOUT=file.cpp -DSYMBOL=name -P embed.cmake
file(READ "${IN}" content)
file(WRITE "${OUT}.tmp" "// Generated from ${IN}\nextern const char ${SYMBOL}[];\nconst char ${SYMBOL}[] = R\"VORLANSQL(${content})VORLANSQL\";\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
