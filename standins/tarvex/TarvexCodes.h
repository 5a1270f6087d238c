#pragma once

// The meanings this engine gives to the numbers its callers pass or read. The callers treat them as
// the engine's own; each line names the caller that relies on the value.

// "No value" in numeric and date answers and in a question's bounds (screens, key-in pages).
constexpr double kTvxNoValue = -999999.99;

// Question kinds (CQuestion::m_nKind) and sub-kinds (CQuestion::m_nSubKind), as the key-in entry page
// chooses its pages from them: kind 0 chapter; kind 1 with sub-kind 1 single, 6 multiple, 7 ordered,
// 3 date, 4 open, 5 numeric. Kind 2 (loops) is never produced: loops are refused at load.
constexpr int kTvxKindChapter = 0;
constexpr int kTvxKindQuestion = 1;
constexpr int kTvxKindLoop = 2;
constexpr int kTvxSubSingle = 1;
constexpr int kTvxSubDate = 3;
constexpr int kTvxSubOpen = 4;
constexpr int kTvxSubNumeric = 5;
constexpr int kTvxSubMultiple = 6;
constexpr int kTvxSubOrdered = 7;

// Response states (CReponse::m_nEtat), read and written by the screens and the key-in pages.
constexpr short kTvxStateNotReached = 0;
constexpr short kTvxStateSkipped = 1; // the route passes over it
constexpr short kTvxStateAnswered = 4;
constexpr short kTvxStateSetByAction = 5; // set without the interviewer: a script button or an action

// Special answer codes of closed questions: don't know, the generic semi-open answer, and the first
// code of predefined semi-open answers without id (-4 - index). A semi-open answer with id n is -n.
constexpr long kTvxCodeDontKnow = -1;
constexpr long kTvxCodeSemiOpen = -3;

// Levels of entry errors (CMasqueEntryError::m_nLevel): the key-in page asks Yes/No for level 0 and
// refuses for anything else; the web-page dialog treats level 1 as blocking.
constexpr int kTvxLevelWarning = 0;
constexpr int kTvxLevelError = 1;

// Modes of CMasqueSaisie::IntegrerFiltre as the screens pass them: 0 when a screen loads its answers and
// 1 after a store run the route only; 2, when a position is left validated, runs its actions as well.
// IsValidityFilterOK takes the screens' mode 2 and treats every mode alike.
constexpr int kTvxFilterRoute = 1;
constexpr int kTvxFilterRouteAndActions = 2;

// Routing (action) kinds of CFiltre::m_nKind; the telephone entry mask overrides the hooks they call.
enum ETvxActionKind : int
{
    tvxActionEmail = 1,      // IntegrerFiltreEmail
    tvxActionRecord = 2,     // IntegrerStartRecording
    tvxActionStopRecord = 3, // IntegrerStopRecording
    tvxActionPredictive = 4, // IntegrerTriggerPredictive
    tvxActionLanguage = 5,   // IntegrerFiltreLanguage
    tvxActionResult = 6,     // sets the call result the interview run ends with
    tvxActionIvr = 7,        // sets the IVR number the interview run hands the call to
};

// Resource types (CMediaResource::m_nType): the survey cache prepares types 5 and 6 in the survey folder.
constexpr int kTvxResourceAdxFirst = 5;
constexpr int kTvxResourceAdxLast = 6;

// Element types (CElement::m_nType) this engine lays out, one element per response: the control
// factory turns them into controls.
constexpr short kTvxElementText = 1;   // chapter caption
constexpr short kTvxElementEdit = 4;   // numeric or open answer
constexpr short kTvxElementList = 8;   // closed question, multiple when the question takes several answers
constexpr short kTvxElementDate = 11;  // date answer
constexpr short kTvxElementBlock = 18; // closed question with block = "1": a grid of its responses

// Layout of a screen, in twips (15 per pixel): one element per response, one under the other.
constexpr double kTvxElementWidth = 9000.0;
constexpr double kTvxElementHeight = 600.0;
constexpr double kTvxElementGap = 120.0;

// The quota's mode value (CQuota::m_nMode): the survey object applies the quota to an entry mask when
// the mode asked for is 0 or equals it; 1 applies before every screen, 2 at the start of a resumed interview.
constexpr int kTvxQuotaModeScreen = 1;
constexpr int kTvxQuotaModeResume = 2;

// Identifiers of quota questions in the quota view: this base plus the survey question's id, apart from
// the cells' identifiers, which are the responses'.
constexpr long kTvxQuotaQuestionIdBase = 1000000;
