// SPDX-License-Identifier: Zlib
// Endings mapped to rules without writing a module: --tov-endings FILE.
#pragma once

// Reads the endings file, when one is given, and registers its build rules:
// one "ENDING RULE TYPE [OUTPUT_ENDING]" a line, fields separated by blanks,
// '#' starting a comment; ENDING '*' makes the rule for every ending no
// other rule knows. A bad line ends the process naming the file and line.
void endings_file_register(const char* working_dir, const char* sdk_dir);
