#pragma once
#include <string>

// A story mail of STORYLIST. intervalDays: days after the reader's previous mail before
// this one is due (INTERVALDAYS; NULL and anything below zero read as 0).
struct Story {
  int number = 0;
  std::string subject;
  std::string body;
  int intervalDays = 0;
};

// What the program reads of a story: the first 200 characters of the subject and the
// first 16382 of the body.
constexpr int kStorySubjectChars = 200;
constexpr int kStoryBodyChars = 16382;
