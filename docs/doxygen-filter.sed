# The headers use plain C comments; this turns them into documentation
# comments for Doxygen without touching the sources: the file's first comment
# describes the file, a comment on a line of its own describes what follows,
# and a comment after code on the same line describes that member. Words in
# angle brackets inside text are not HTML.
0,/\*\//s,\*/, @file */,
s,^\([[:space:]]*\)/\*\([^*]\|$\),\1/**\2,
s,\([^[:space:]/][^/]*\)/\*\([^*<]\),\1/**<\2,
/#include/!s,<\([A-Za-z_ ]*\)>,\\<\1\\>,g
/^[[:space:]]*\(\*\|\/\*\*\)/s,\\,\\\\,g
