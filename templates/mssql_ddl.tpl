%templatetype MorvexFylatek.Template
%-- SQL Server: the table of the description, its primary key and its indexes.
%include morvex_sql
%targetfilename {table.name}.mssql.sql
% sp = "    "
% schema = "{desc.schemaname}"
%if "{desc.schemaname}" == ""
%begin
% schema = "dbo"
%end
-- Table {table.name} of the project {project.name}
CREATE TABLE [{schema}].[{table.name}] (
%for_each_column
%begin
%if {column.position} > 1
%begin
%writeln ,
%end
%if {column.type} == 0
%begin
%write {sp}[{column.name}] %MssqlIntegerType {column.length}:
%end
%if {column.type} > 0
%begin
%write {sp}[{column.name}] {column.sqltype}
%end
%if {column.isnotnull} == 1
%begin
%write {eol} NOT NULL
%end
%if {column.isnotnull} == 0
%begin
%write {eol} NULL
%end
%end
% pkn = 0
%for_each_pk_column
%begin
%if {pkn} == 0
%begin
%writeln ,
%write {sp}CONSTRAINT [PK_{table.name}] PRIMARY KEY (
%end
%if {pkn} > 0
%begin
%write , 
%end
%write [{thispkcol.name}]
% pkn = pkn + 1
%end
%if {pkn} > 0
%begin
%write )
%end
%writeln
);
GO
%for_each_index
%begin
%write CREATE INDEX [{thisindex.name}] ON [{schema}].[{table.name}] (
%for_each_idx_column
%begin
%write [{thisidxcol.name}]
%if {thisidxcol.islast} == 0
%begin
%write , 
%end
%end
%writeln );
GO
%end
