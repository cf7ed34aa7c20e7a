#pragma once

// The statements of db/schema.sql, carried inside the program.
const char* schemaText();
