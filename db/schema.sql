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

COMMIT;
