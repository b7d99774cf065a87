/* The analysis engine's entry points.
 *
 * Every entry point takes plain integers and zero-terminated 8-bit strings and
 * hands back one integer through its last argument `result`:
 *   0   done;
 *   1   a handle named no object of the expected kind, or the operation failed;
 *  -1   the engine does not exist (any call before EngineCreate or after
 *       EngineDestroy), or, where the result is a handle, no object could be
 *       made or found.
 * Strings handed out through `char** out` arguments are new heap copies owned
 * by the caller, who frees each with EngineFreeString; on every path that
 * writes a result the out string is set (possibly to an empty string), except
 * when the result is -1 because the engine does not exist, where it is NULL.
 *
 * Handles come from one process-wide counter that starts at 1 and are never
 * reused in a run. Stores and workspaces live in the engine's registry;
 * queries, result lists and concepts in the registry of their workspace, so
 * the entry points that take them also take the workspace handle.
 *
 * A document list string names documents as entries "store handle,document
 * id;" (every entry closed by ";"; text after the last ";" is ignored).
 *
 * No exception leaves an entry point: an operation that fails in a way the
 * engine did not foresee (memory running out, say) gives 1, or -1 where the
 * result is a handle, hands out empty strings, and sets the status text to
 * "Internal error: " followed by the reason.
 *
 * The engine is not thread-safe but for EngineGetStatus and EngineSetStop,
 * which may be called from another thread while one long operation runs,
 * and the entry points of the browser frame, which touch no engine state. */
#ifndef QORA_ENGINE_H_
#define QORA_ENGINE_H_

#ifdef __cplusplus
extern "C" {
#endif

/* Frees a string handed out by the engine; NULL is allowed. */
void EngineFreeString(char* text);

/* ---- Engine life and shared state ---- */

/* Makes the engine unless it exists. */
void EngineCreate(void);
/* Destroys the engine and every object it holds. */
void EngineDestroy(void);
/* Reads `file` (e.g. "main.ini") and "tmpdoc.ini" from `folder`, which must
 * end with a separator (paths are joined by plain concatenation), loads the
 * word lists and opens the temporary store. 0 when started; 1 when the
 * temporary store object cannot be made; -1 when a configuration file is
 * missing or broken (the reader's message is on stderr; nothing is written). */
void EngineStart(const char* folder, const char* file, int* result);
/* Empties the temporary store and writes the term dictionary archive. 0; 1
 * when a temporary store folder cannot be read or the archive cannot be
 * written. */
void EngineFinish(int* result);
/* Hands out a copy of the status text. 0. */
void EngineGetStatus(char** out, int* result);
/* Sets the stop flag (the shell passes 1 to stop the running operation). 0. */
void EngineSetStop(int value, int* result);
/* Empties the dictionary, stem map and stop words and rereads the stop-word
 * file. 0. */
void EngineReloadWordLists(int* result);
/* Destroys the store or workspace `handle` names. 0; 1 when none. */
void EngineDeleteHandle(int handle, int* result);
/* Hands out the name of the store or workspace `handle` names. 0; 1 (and an
 * empty string) when none. */
void EngineGetObjectName(int handle, char** out, int* result);
/* Hands out the engine environment as "key=value" lines: data_folder, c_d,
 * rel_per_sec, rel_per_subsec, stemmed_model, stopword_file, db_archive,
 * doc_store_subfolder, temp_docstore, dictionary_words, stem_entries,
 * stop_words. 0. */
void EngineGetEnvironment(char** out, int* result);

/* ---- Document stores ---- */

/* The handle of the store opened or created in this run under `name`, or -1. */
void EngineFindStore(const char* name, int* result);
/* The handle of the store `name`, opening it from "<name>.ini" in the store
 * folder root when it is not open yet; -1 when the object cannot be made. */
void EngineOpenStore(const char* name, int* result);
/* Makes a new store from the library template under a name derived from
 * `name`; hands out the actual name. The new handle; -1 on failure. */
void EngineCreateStore(const char* name, char** actual_name, int* result);
/* Releases and closes the store and removes its handle. 0; 1 when no store. */
void EngineCloseStore(int store, int* result);
/* Removes every document file of the store; it stays open. 0; 1 when none,
 * or when one of its folders cannot be read. */
void EngineEmptyStore(int store, int* result);
/* Erases the store's files and closes it; the temporary store is refused.
 * 0; 1 when refused, no store, or the erase fails. */
void EngineEraseStore(int store, int* result);
/* Moves the documents of `source` into `target`. 0, also when a handle names
 * no store (then nothing is merged); 1 when a table file cannot be written
 * (when it is one of the target's, neither store has changed). */
void EngineMergeStores(int target, int source, int* result);
/* Hands out every store of the store folder root as result-list text. 0 when
 * at least one was listed; 1 when none or the folder cannot be entered. */
void EngineListStores(char** out, int* result);
/* Hands out the temporary store's name (empty when it has no object) and
 * handle (-1 when none). 0. */
void EngineGetTempStore(char** name, int* handle, int* result);
/* Takes every listed document out of its library into the temporary store
 * (a document of the temporary store leaves its table there; its files go
 * when the store is emptied); entries naming no store or a document their
 * store does not hold are skipped. 0; 1 when the temporary store has no object, or when a document
 * could not be moved (a table file could not be written; the others are
 * moved all the same). */
void EngineEraseDocuments(const char* document_list, int* result);
/* Indexes the store's new documents, or all of them when `full` is not 0.
 * 0; 1 when no store, or when a master index or document table file cannot
 * be written. */
void EngineProcessStore(int store, int full, int* result);
/* Loads the store's term statistics from its master index files. 0; 1. */
void EngineLoadStoreStatistics(int store, int* result);
/* Releases the store's term statistics. 0; 1 when no store. */
void EngineReleaseStoreStatistics(int store, int* result);
/* Hands out, as result-list text, the records of `count` documents of the
 * store from position `start` (local documents first, then web documents; a
 * start outside the store means the last document, a negative count all
 * from the start). Needs no workspace. 0; 1 (and an empty text) when no
 * store. */
void EngineListStoreDocuments(int store, int start, int count, char** out, int* result);

/* ---- Filling a store from outside; `parameters` is a crawl parameter
 * string. Each: 0; 1 when the store handle names no store (and, for
 * EngineCrawlIntoStore and EngineAddFiles, when the imported documents'
 * table lines cannot be written). ---- */

void EngineSearchIntoStore(int store, const char* query_words, const char* parameters, int* result);
/* The handle of the workspace's new result list; 1 when the temporary store
 * has no object; -1 when the workspace handle names none. */
void EngineQuickSearch(const char* query_words, const char* parameters, int workspace, int* result);
void EngineAddFromWeb(int store, const char* start_addresses, const char* parameters, int* result);
void EngineCrawlIntoStore(int store, const char* folder, int depth, int byte_limit,
                          int document_limit, int* result);
void EngineAddFiles(int store, const char* file_list, const char* parameters, int* result);

/* ---- Workspaces, queries and analyses ---- */

/* The handle of a new workspace loaded from `file` in the data folder; -1. */
void EngineOpenWorkspace(const char* file, int* result);
/* 0 (a store already selected stays once); 1 when either handle names none. */
void EngineAddStoreToWorkspace(int store, int workspace, int* result);
void EngineRemoveStoreFromWorkspace(int store, int workspace, int* result);
/* The handle of a new query; -1 when no workspace. */
void EngineNewQuery(int workspace, int* result);
/* The query setters and preparers: 0; 1 when the workspace or the query
 * handle names no object. */
void EngineSetQueryKeywords(int query, const char* text, int workspace, int* result);
void EngineSetQueryDocuments(int query, const char* document_list, int workspace, int* result);
void EngineSetQueryPassage(int query, const char* text, int workspace, int* result);
void EngineSetQueryConcepts(int query, const char* text, int workspace, int* result);
void EnginePrepareQuery(int query, int workspace, int* result);
void EngineExpandQuery(int query, int workspace, int* result);
/* 0; 1 when no workspace or failure. */
void EnginePrepareRanking(int workspace, int* result);
/* The handle of a new result list of at most `count` documents; -1 when no
 * workspace or no query. */
void EngineRankDocuments(int query, int count, int workspace, int* result);
/* The handle of a new result list of `count` documents of the store from
 * position `start`; -1 when either handle names no object. */
void EngineListDocuments(int store, int start, int count, int workspace, int* result);
/* Hands out the result list as text. 0; 1 when no workspace or failure. */
void EngineWriteResultList(char** out, int result_list, int workspace, int* result);
/* The handle of a new result list of the summarized documents; 1 when the
 * temporary store or the workspace has no object. */
void EngineSummarize(int query, const char* document_list, int workspace, float bias_percentage,
                     int* result);
/* Writes the result list as the DML file `file_name` in the temporary store
 * and hands out its path. 0; 1 when the temporary store or the workspace has
 * no object or writing failed. */
void EngineWriteMap(const char* file_name, char** out_path, int result_list, int workspace,
                    int* result);
/* Builds the concept map the request "wkspc_h=..&qry_h=..&number1=..&
 * number2=.." asks for: at most "number1" concepts (one, the whole query,
 * when it is 1 or less or was never given) with at most "number2" key
 * phrases each (a count of 1 or less allows one). The handle of the map's result
 * list, which is made before the concepts; 1 when "wkspc_h" names no
 * workspace; -1 when "qry_h" names no query or the map cannot be built (the
 * query has no term pairs). */
void EngineConceptMap(const char* parameters, int* result);

/* ---- The browser frame. These touch no engine state: they may be called
 * from any thread, while an operation runs, and whether or not the engine
 * exists (so they never give -1). ---- */

/* The bounds of EngineFetchPage: the longest body in bytes and the time-out
 * on silence (connecting, sending, receiving) in milliseconds; the whole
 * fetch ends after the fetcher's overall deadline for these time-outs. */
#define ENGINE_PAGE_MAX_BYTES (8 * 1024 * 1024)
#define ENGINE_PAGE_TIMEOUT_MS 20000

/* Fetches the web address `address`, which must begin with "http://" or
 * "https://" (any case), with the crawler's fetcher, following redirects.
 * 0 when fetched: `content` holds the body (zero-terminated, but it may
 * hold zero bytes itself: `length` gives its byte count), `content_type`
 * the final answer's Content-Type ("" when it sent none) and
 * `final_address` the address of the final answer. 1 when the address is
 * not a web address or the fetch failed (network, time-out, a body past
 * ENGINE_PAGE_MAX_BYTES): `content` holds the message, `length` its
 * length, and the other two strings are empty. Any out pointer may be
 * NULL. */
void EngineFetchPage(const char* address, char** content, int* length, char** content_type,
                     char** final_address, int* result);

/* Hands out the five web search engines of "se.ini" in `folder` (which
 * ends with a separator) as five lines, engines 1 to 5, each
 * "name TAB url TAB pre_query_string TAB post_query_string" with a line end. Each value is cut
 * to 255 bytes with tabs and line ends as blanks; an absent or empty name
 * reads "engine", the other values a single blank. 0; 1 when the file
 * cannot be read, with five lines of those defaults all the same. */
void EngineListSearchEngines(const char* folder, char** out, int* result);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QORA_ENGINE_H_ */
