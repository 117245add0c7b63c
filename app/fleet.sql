-- The fleet report of PravikFtp: each workstation's outcome of each run, in the central
-- database PravikALL. Run it once, as an administrator of the database, to switch the
-- report on: from then on every updater run writes one row (two when a delayed update
-- fails and later succeeds). Without the table the updaters report nothing.
--
-- Written for SQL Server (sqlcmd -d PravikALL -i fleet.sql, or a query window): each GO
-- ends a batch, as a view must begin one. The same statements run on SQLite with the GO
-- lines and the GRANT left out.

CREATE TABLE MVERCHKRESULT (
  WORKSTATION    VARCHAR(64)  NOT NULL,  -- the computer name (the workstation id the connection already sends)
  RUNSTARTED     VARCHAR(23)  NOT NULL,  -- the run's start, workstation local time, 'YYYY-MM-DD hh:mm:ss.mmm'
  UPDATERVERSION VARCHAR(23)  NOT NULL,  -- this program's version, '1.0.0.0'
  LOCALVERSION   VARCHAR(100) NULL,      -- first line of Version.txt when the run started, 'N' when there is none
  SERVERVERSION  VARCHAR(100) NULL,      -- CHKVERSION as read; NULL when it could not be read
  DECISION       INTEGER      NULL,      -- the decision row 1-6; NULL when none was reached
  RESULT         VARCHAR(16)  NOT NULL,  -- current, updated, refused, failed, abandoned, held or rolledback
  CAUSE          VARCHAR(400) NULL,      -- for failed and refused: the error class and message, as in the log
  BYTES          BIGINT       NULL,      -- bytes received by the download; NULL when none ran
  DURATIONMS     INTEGER      NULL,      -- from the run's start to this row
  NOTIFIERSHA256 CHAR(64)     NULL,      -- SHA-256 of C:\Pravik\PravikNW.exe as this row is written (lower case)
  RECORDED       DATETIME     DEFAULT CURRENT_TIMESTAMP  -- the server's clock
);
GO

-- Each workstation's runs in order, for the views below.
CREATE INDEX IVERCHKRESULTRUN ON MVERCHKRESULT (WORKSTATION, RUNSTARTED);
GO

-- The workstations log in as pravik, which otherwise only reads: it may add rows here and
-- nothing more.
GRANT INSERT ON MVERCHKRESULT TO pravik;
GO

-- Each workstation's latest row: the latest run by its own clock (a row kept while the
-- database was unreachable arrives late but keeps its start), and of a run's two rows the
-- later one.
CREATE VIEW VVERCHKLATEST AS
SELECT R.WORKSTATION, R.RUNSTARTED, R.UPDATERVERSION, R.LOCALVERSION, R.SERVERVERSION, R.DECISION, R.RESULT,
       R.CAUSE, R.BYTES, R.DURATIONMS, R.NOTIFIERSHA256, R.RECORDED
FROM MVERCHKRESULT R
WHERE NOT EXISTS (
  SELECT 1 FROM MVERCHKRESULT N
  WHERE N.WORKSTATION = R.WORKSTATION
    AND (N.RUNSTARTED > R.RUNSTARTED
         OR (N.RUNSTARTED = R.RUNSTARTED AND COALESCE(N.DURATIONMS, 0) > COALESCE(R.DURATIONMS, 0))));
GO

-- Workstations whose latest row does not show the current CHKVERSION installed: it failed,
-- was refused or abandoned, or installed another version.
CREATE VIEW VVERCHKBEHIND AS
SELECT L.WORKSTATION, L.RUNSTARTED, L.LOCALVERSION, L.SERVERVERSION, V.CHKVERSION AS CURRENTVERSION, L.RESULT,
       L.CAUSE, L.RECORDED
FROM VVERCHKLATEST L
CROSS JOIN (SELECT MAX(CHKVERSION) AS CHKVERSION FROM MVERCHKMESSAGECLIENT) V
WHERE L.RESULT NOT IN ('current', 'updated')
   OR L.SERVERVERSION IS NULL OR V.CHKVERSION IS NULL OR L.SERVERVERSION <> V.CHKVERSION;
GO

-- Failed and refused runs with their cause. A view has no order of its own: ask for the
-- newest first with ORDER BY RUNSTARTED DESC.
CREATE VIEW VVERCHKFAILURES AS
SELECT WORKSTATION, RUNSTARTED, RESULT, CAUSE, LOCALVERSION, SERVERVERSION, DECISION, BYTES, RECORDED
FROM MVERCHKRESULT
WHERE RESULT IN ('failed', 'refused');
GO
