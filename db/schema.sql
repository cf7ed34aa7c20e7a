/* QuorMail database: readers and the story.
   Every column is text in the default character set NONE, so the CP932 bytes the
   program writes are stored as they are. Widths are bytes. */

CREATE TABLE USERLIST (
  ID           CHAR(5)  NOT NULL,
  MAILADDRESS  CHAR(50),
  TOUROKUDATE  CHAR(8),
  TOUROKUTIME  CHAR(6),
  NAME         CHAR(60),
  SYORIKBN     CHAR(2),
  NEXTSTORY    CHAR(5),
  SNDFASTDATE  CHAR(8),
  SNDFASTTIME  CHAR(6),
  SNDLASTDATE  CHAR(8),
  SNDLASTTIME  CHAR(6),
  BIKO1        CHAR(60),
  BIKO2        CHAR(60),
  BIKO3        CHAR(60),
  CONSTRAINT PK_USERLIST PRIMARY KEY (ID)
);

/* MAX(ID) is answered from an index only when the index is descending. */
CREATE DESCENDING INDEX IX_USERLIST_ID_DESC ON USERLIST (ID);
/* The reader search lists readers from a start text of their name or address. */
CREATE INDEX IX_USERLIST_NAME ON USERLIST (NAME);
CREATE INDEX IX_USERLIST_MAILADDRESS ON USERLIST (MAILADDRESS);

CREATE TABLE STORYLIST (
  STORYNO  CHAR(5) NOT NULL,
  SUBJECT  VARCHAR(2000),
  STORY    BLOB SUB_TYPE TEXT,
  /* Days after the reader's previous mail before this one is due; NULL or 0: at the next run. */
  INTERVALDAYS INTEGER,
  CONSTRAINT PK_STORYLIST PRIMARY KEY (STORYNO)
);

CREATE DESCENDING INDEX IX_STORYLIST_STORYNO_DESC ON STORYLIST (STORYNO);

/* Every attempt of a send run to mail a reader: when, what came of it (OUTCOME 0 sent,
   1 deferred, 2 refused and stopped, 3 skipped, 4 unknown), the server's reply code and
   text, the run it belonged to and its place in that run (SEQ, from 1). Entries are in
   order of SENTDATE, SENTTIME, RUNID, SEQ: a run's identifier begins with the time it
   started, and only one run works at a time. */
CREATE TABLE SENDHISTORY (
  READERID   INTEGER,
  STORY      INTEGER,
  SENTDATE   CHAR(8),
  SENTTIME   CHAR(6),
  OUTCOME    SMALLINT,
  REPLYCODE  VARCHAR(20),
  REPLY      VARCHAR(1000),
  RUNID      VARCHAR(40),
  SEQ        INTEGER
);

/* The one index, and no key generator: each costs the send run a page write for every
   entry at its commit. A reader's entries, and a reader's entry of a run, are found by it. */
CREATE INDEX IX_SENDHISTORY_READER_RUN ON SENDHISTORY (READERID, RUNID);

/* One row a send run that recorded an attempt: the newest run is found here. */
CREATE TABLE SENDRUNS (
  RUNID    VARCHAR(40) NOT NULL,
  STARTED  CHAR(14),
  CONSTRAINT PK_SENDRUNS PRIMARY KEY (RUNID)
);

/* How and when each reader consented to receive the mails: SOURCE 0 the web form (DETAIL
   the form's address), 1 a CSV import (DETAIL the file's name), 2 typed by hand; GIVEN
   yyyymmddhhnnss. Rows are never deleted, so the record outlives its reader; a reader's
   consent is the row of its ID with the largest SEQ, taken from CONSENTS_SEQ as the row is
   written (an ID used again gets a newer row). */
CREATE TABLE CONSENTS (
  READERID     CHAR(5)  NOT NULL,
  MAILADDRESS  CHAR(50),
  SOURCE       SMALLINT NOT NULL,
  GIVEN        CHAR(14) NOT NULL,
  DETAIL       VARCHAR(400),
  SEQ          INTEGER  NOT NULL
);

CREATE INDEX IX_CONSENTS_READERID ON CONSENTS (READERID);
CREATE SEQUENCE CONSENTS_SEQ;

/* One row that a send run holds locked while it works: a second run finds it locked. */
CREATE TABLE SENDLOCK (
  ID     INTEGER NOT NULL,
  RUNID  VARCHAR(40),
  CONSTRAINT PK_SENDLOCK PRIMARY KEY (ID)
);

INSERT INTO SENDLOCK (ID) VALUES (1);

COMMIT;
