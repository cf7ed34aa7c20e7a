#pragma once

class Statement;

// Brings a database made by an older version up to the current schema when the program
// opens it: each step looks whether its change is there and makes it once. Older
// programs keep working on the upgraded file, because every change only adds.
void upgradeSchema(Statement& query);
