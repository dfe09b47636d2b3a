-- Database of the workstation: sixteen tables.
--
-- Dates are TEXT 'yyyy-mm-dd' with no time part, times TEXT 'hh:mm'.
-- Money-like factors (conversion factor, control targets, margins) are REAL;
-- the program rounds them to four decimals on read.
-- Sample numbers are TEXT compared exactly (BINARY) and sorted with
-- "order by val(shelfid), shelfid".
-- Text widths noted in comments ("width n") are what the screens and reports
-- allow for; SQLite does not enforce them.
-- Column notes stand above each table, not inside it: SQLite keeps the table
-- text, and a comma in a comment there breaks a later ALTER TABLE DROP COLUMN.
--
-- Keep the day tables free of constraints that could refuse a received
-- result: the program itself keeps shelfid (and shelfid, itemid) unique.

-- Day tables -----------------------------------------------------------------

-- shelfid    sample number width 10
-- sex        '男', '女' or empty
-- mzno       out-patient number
-- caseno     case-record number
-- depart     department.name
-- kind       samplekind.name
-- apperance  sampleapperance.name
-- doctor     doctor.name
-- takedate   'yyyy-mm-dd'
-- taketime   'hh:mm'
-- checkdate  'yyyy-mm-dd'
-- operator   operator who registered the sample
-- bgtime     report time 'hh:mm', NULL until first printed
-- printflag  0 not printed, 1 printed
CREATE TABLE patient (
    shelfid   TEXT,
    name      TEXT,
    sex       TEXT,
    age       TEXT,
    mzno      TEXT,
    caseno    TEXT,
    bedno     TEXT,
    depart    TEXT,
    kind      TEXT,
    apperance TEXT,
    diagnose  TEXT,
    doctor    TEXT,
    takedate  TEXT,
    taketime  TEXT,
    checkdate TEXT,
    operator  TEXT,
    bgtime    TEXT,
    printflag INTEGER DEFAULT 0
);
CREATE INDEX patient_shelfid ON patient (shelfid);

-- shelfid  width 10
-- value    width 12
CREATE TABLE testresult (
    shelfid   TEXT,
    checkdate TEXT,
    itemid    INTEGER,
    value     TEXT
);
CREATE INDEX testresult_shelfid_itemid ON testresult (shelfid, itemid);

CREATE TABLE gresult (
    shelfid   TEXT,
    a1  TEXT, a2  TEXT, a3  TEXT, a4  TEXT, a5  TEXT, a6  TEXT,
    a7  TEXT, a8  TEXT, a9  TEXT, a10 TEXT, a11 TEXT, a12 TEXT,
    checkdate TEXT
);
CREATE INDEX gresult_shelfid ON gresult (shelfid);

-- History tables -------------------------------------------------------------
-- Their column order differs from the day tables: always copy with named columns.

CREATE TABLE histpatient (
    shelfid   TEXT,
    mzno      TEXT,
    caseno    TEXT,
    name      TEXT,
    sex       TEXT,
    age       TEXT,
    depart    TEXT,
    kind      TEXT,
    diagnose  TEXT,
    doctor    TEXT,
    taketime  TEXT,
    takedate  TEXT,
    apperance TEXT,
    checkdate TEXT,
    operator  TEXT,
    bedno     TEXT,
    bgtime    TEXT
);
-- Every search and count reads a range of test days; each index below ends
-- in what that search compares, so the range is read from the index alone.
-- The number boxes and the department compare like LIKE does (ASCII letters
-- in either case), hence NOCASE.
CREATE INDEX histpatient_day_sample ON histpatient (checkdate, shelfid);
CREATE INDEX histpatient_day_name ON histpatient (checkdate, name, sex);
CREATE INDEX histpatient_caseno_day ON histpatient (caseno COLLATE NOCASE, checkdate);
CREATE INDEX histpatient_mzno_day ON histpatient (mzno COLLATE NOCASE, checkdate);
CREATE INDEX histpatient_depart_day ON histpatient (depart COLLATE NOCASE, checkdate);

-- value    width 12
-- shelfid  width 10
CREATE TABLE hisresult (
    checkdate TEXT,
    itemid    INTEGER,
    value     TEXT,
    rowno     INTEGER PRIMARY KEY AUTOINCREMENT,
    shelfid   TEXT
);
-- One archived sample is (checkdate, shelfid); the end of day appends today's
-- rows at the end of this index.
CREATE INDEX hisresult_day_sample ON hisresult (checkdate, shelfid, itemid);

CREATE TABLE hisgresult (
    shelfid   TEXT,
    a1  TEXT, a2  TEXT, a3  TEXT, a4  TEXT, a5  TEXT, a6  TEXT,
    a7  TEXT, a8  TEXT, a9  TEXT, a10 TEXT, a11 TEXT, a12 TEXT,
    checkdate TEXT
);
CREATE INDEX hisgresult_day_sample ON hisgresult (checkdate, shelfid);

-- Reference tables -------------------------------------------------------------

-- abbreviation  width 20
-- name          width 50
-- unit          width 15
-- hsyz          conversion factor applied on intake
-- bitnum        decimals of the stored value
-- manlow        reference limits as text, width 10 (also manhigh, womanlow, womanhigh)
-- itemmark      one-character line mark, empty if not received
-- expressions   formula of a derived item, items named by number: (2)/(3)
CREATE TABLE itemtb (
    itemid       INTEGER,
    abbreviation TEXT,
    name         TEXT,
    unit         TEXT,
    printorder   INTEGER,
    hsyz         REAL,
    bitnum       INTEGER,
    manlow       TEXT,
    manhigh      TEXT,
    womanlow     TEXT,
    womanhigh    TEXT,
    rowno        INTEGER PRIMARY KEY AUTOINCREMENT,
    itemmark     TEXT,
    expressions  TEXT
);
CREATE INDEX itemtb_itemid ON itemtb (itemid);

-- no      unique: the settings grid drops a row with a number already used
-- suoxie  abbreviation, width 10
-- name    width 20
CREATE TABLE department (
    no     INTEGER UNIQUE,
    suoxie TEXT,
    name   TEXT
);

-- no    text here, unlike department and operator; unique; width 10
-- name  width 8
CREATE TABLE doctor (
    no   TEXT UNIQUE,
    name TEXT
);

-- no    unique
-- name  width 8
-- exp1  password; NULL means empty
CREATE TABLE operator (
    no   INTEGER UNIQUE,
    name TEXT,
    exp1 TEXT
);

-- name  width 50
CREATE TABLE samplekind (
    name  TEXT,
    rowno INTEGER PRIMARY KEY AUTOINCREMENT
);

-- name  width 10
CREATE TABLE sampleapperance (
    name TEXT,
    no   INTEGER PRIMARY KEY AUTOINCREMENT
);

CREATE TABLE codetb (
    code TEXT,
    name TEXT
);

-- Settings row (exactly one) -----------------------------------------------------

-- imeno       input method index, NULL = none chosen
-- prntindex   printer index
-- prntname    name of the printer at prntindex when it was chosen
-- paperindex  0..3
-- rptindex    0 graphic, 1 text
-- p_top       margins in mm (also p_left, p_bottom, p_right), 0 = default
CREATE TABLE corpration (
    imeno      INTEGER,
    prntindex  INTEGER,
    paperindex INTEGER,
    rptindex   INTEGER,
    p_top      REAL,
    p_left     REAL,
    p_bottom   REAL,
    p_right    REAL,
    prntname   TEXT
);

-- Quality control ------------------------------------------------------------------

-- itemno    itemtb.itemid
-- batchno1  lot numbers of control materials 1..3, width 20
-- xb1       target means of materials 1..3
-- s1        target standard deviations of materials 1..3
CREATE TABLE qcpara (
    zkyear   INTEGER,
    zkmonth  INTEGER,
    itemno   REAL,
    batchno1 TEXT,
    batchno2 TEXT,
    batchno3 TEXT,
    xb1      REAL,
    xb2      REAL,
    xb3      REAL,
    s1       REAL,
    s2       REAL,
    s3       REAL
);
CREATE INDEX qcpara_month_item ON qcpara (zkyear, zkmonth, itemno);

-- value1  value of control material 1..3 as decimal text, empty = no value
CREATE TABLE qctb (
    qcdate TEXT,
    itemid INTEGER,
    value1 TEXT,
    value2 TEXT,
    value3 TEXT
);
CREATE INDEX qctb_date_item ON qctb (qcdate, itemid);

PRAGMA user_version = 1;
