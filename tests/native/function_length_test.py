#!/usr/bin/env python3
"""The function-length checker finds functions and measures them right."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
from function_length import functions  # noqa: E402


def body(lines):
    return "".join(f"    x += {i};\n" for i in range(lines))


class FunctionLength(unittest.TestCase):
    def test_counts_from_signature_to_closing_brace(self):
        text = "int f(int a,\n      int b) {\n" + body(57) + "}\n"
        self.assertEqual(list(functions(text)), [("f", 1, 60)])

    def test_scopes_are_not_functions_but_their_members_are(self):
        text = ("namespace {\nstruct S {\n    int Get() const { return 1; }\n};\n}  // namespace\n"
                "enum E { A, B };\nconst int kTable[2] = {1, 2};\n"
                "void Long() {\n    if (a) {\n        b();\n    }\n    for (;;) { }\n}\n")
        self.assertEqual([f[0] for f in functions(text)], ["Get", "Long"])
        self.assertIn(("Long", 8, 13), list(functions(text)))

    def test_braces_in_comments_strings_and_lambdas_do_not_mislead(self):
        text = ('void F() {\n    // }\n    const char* s = "}{";\n    char c = \'}\';\n'
                "    auto g = [](int v) { return v; };\n    /* { */\n}\nvoid G() {}\n")
        self.assertEqual(list(functions(text)), [("F", 1, 7), ("G", 8, 8)])

    def test_constructor_initialisers_and_qualified_names(self):
        text = "Widget::Widget(int a)\n    : A(a) {\n" + body(3) + "}\n"
        self.assertEqual(list(functions(text)), [("Widget::Widget", 1, 6)])


if __name__ == "__main__":
    unittest.main()
