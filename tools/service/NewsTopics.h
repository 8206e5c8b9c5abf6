#pragma once

// The word material the generated news is made of: one topic per kind of publication.
// Templates hold placeholders that CNewsGenerator fills from the pools:
//   {a} {a2}  actors (people, teams, firms)     {b} {b2}  subjects
//   {c} {c2}  places or settings                {w}       a weekday
//   {n}       a number from 2 to 95             {k}       a decimal from 1.1 to 9.9
//   {d}       a number from 2 to 19
//   {s} {t}   a score from 1 to 5 and a lower one
// "2" variants are always a different pick from the same pool than the plain one.
// Headlines never contain '!' (the client uses it as a delimiter) and no text contains
// '<' or '>'; all of it is ASCII.

#include <string>
#include <vector>

struct CNewsTopic {
    std::string strCluster;
    std::vector<std::string> arrHeadlines;
    std::vector<std::string> arrSentences;
    std::vector<std::string> arrActors;
    std::vector<std::string> arrSubjects;
    std::vector<std::string> arrPlaces;
};

enum class CTopicId { City, Business, Technology, Sport, Science, Culture, Weather };

const CNewsTopic& NewsTopic(CTopicId id);

// Weekday names for {w}.
const std::vector<std::string>& NewsWeekdays();
