%templatetype MorvexFylatek.Template
%-- SQLite: the table of the description, its primary key and its indexes. Every name goes
%-- through an escaping form ({name:sqlident}): whatever it holds, it stays one identifier.
%include morvex_sql
%targetfilename {table.name}.sqlite.sql
% sp = "    "
-- Table {table.name:line} of the project {project.name:line}
CREATE TABLE IF NOT EXISTS {table.name:sqlident} (
%for_each_column
%begin
%if {column.position} > 1
%begin
%writeln ,
%end
%write {sp}{column.name:sqlident} %SqliteType {column.type}:
%if {column.isnotnull} == 1
%begin
%write {eol} NOT NULL
%end
%end
% pkn = 0
%for_each_pk_column
%begin
%if {pkn} == 0
%begin
%writeln ,
%write {sp}PRIMARY KEY (
%end
%if {pkn} > 0
%begin
%write , 
%end
%write {thispkcol.name:sqlident}
% pkn = pkn + 1
%end
%if {pkn} > 0
%begin
%write )
%end
%writeln
);
%for_each_index
%begin
%write CREATE INDEX IF NOT EXISTS {thisindex.name:sqlident} ON {table.name:sqlident} (
%for_each_idx_column
%begin
%write {thisidxcol.name:sqlident}
%if {thisidxcol.islast} == 0
%begin
%write , 
%end
%end
%writeln );
%end
