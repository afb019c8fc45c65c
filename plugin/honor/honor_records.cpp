#include "honor/honor_records.h"

#include "binding/register_type.h"

namespace Vorn::Client::Honor {

using vclient::RegisterEnum;
using vclient::RegisterRecord;

void RegisterRecords(vclient::TypeRegistry& r, const std::string& p) {
    RegisterRecord<ServiceProxy::HonorPlayerRequest>(r, p + "ServiceProxyHonorPlayerServerRequest")
        .QIV_FIELD(summonerId)
        .QIV_FIELD(honorType)
        .QIV_FIELD(gameId);
    RegisterRecord<ServiceProxy::RetrieveProfileResponse>(r, p + "ServiceProxyRetrieveProfileResponse")
        .QIV_FIELD(honorLevel)
        .QIV_FIELD(checkpoint)
        .QIV_FIELD(rewardsLocked);
    RegisterRecord<Api::HonorConfig>(r, p + "HonorConfig")
        .QIV_FIELD(Enabled)
        .QIV_FIELD(Honor2018Enabled)
        .QIV_FIELD(DayOneModalEnabled)
        .QIV_FIELD(SecondsToVote);
    RegisterRecord<Api::VMSMessage>(r, p + "VornMessagingServiceMessage")
        .QIV_FIELD(resource)
        .QIV_FIELD(service)
        .QIV_FIELD(version)
        .QIV_FIELD(timestamp)
        .QIV_FIELD(payload);
    RegisterRecord<Api::EligiblePlayer>(r, p + "EligiblePlayer")
        .QIV_FIELD(summonerId)
        .QIV_FIELD(championId)
        .QIV_FIELD(summonerName)
        .QIV_FIELD(skinName)
        .QIV_FIELD(skinIndex);
    RegisterRecord<Api::Ballot>(r, p + "Ballot")
        .QIV_FIELD(eligiblePlayers)
        .QIV_FIELD(gameId);
    RegisterRecord<Api::ProfileInfo>(r, p + "ProfileInfo")
        .QIV_FIELD(honorLevel)
        .QIV_FIELD(checkpoint)
        .QIV_FIELD(rewardsLocked);
    RegisterRecord<Api::ApiHonorPlayerServerRequest>(r, p + "ApiHonorPlayerServerRequest")
        .QIV_FIELD(summonerId)
        .QIV_FIELD(honorCategory)
        .QIV_FIELD(gameId);
    RegisterRecord<Api::Honor>(r, p + "Honor")
        .QIV_FIELD(honorCategory)
        .QIV_FIELD(voterRelationship);
    RegisterRecord<Api::HonorRecipient>(r, p + "HonorRecipient")
        .QIV_FIELD(summonerId)
        .QIV_FIELD(gameId)
        .QIV_FIELD(honors);
    RegisterRecord<Api::VendedHonorState>(r, p + "VendedHonorState")
        .QIV_FIELD(level)
        .QIV_FIELD(checkpoint)
        .QIV_FIELD(rewardsLocked);
    RegisterRecord<Api::DynamicHonorMessage>(r, p + "DynamicHonorMessage")
        .QIV_FIELD(messageId)
        .QIV_FIELD(value);
    RegisterRecord<Api::Reward>(r, p + "Reward")
        .QIV_FIELD(rewardType)
        .QIV_FIELD(quantity);
    RegisterRecord<Api::VendedReward>(r, p + "VendedReward")
        .QIV_FIELD(rewardType)
        .QIV_FIELD(quantity)
        .QIV_FIELD(dynamicHonorMessage);
    RegisterRecord<Api::VendedHonorChange>(r, p + "VendedHonorChange")
        .QIV_FIELD(actionType)
        .QIV_FIELD(previousState)
        .QIV_FIELD(currentState)
        .QIV_FIELD(reward)
        .QIV_FIELD(dynamicHonorMessage);
    RegisterRecord<Api::FullTeamVote>(r, p + "FullTeamVote")
        .QIV_FIELD(gameId);
    RegisterRecord<Api::VoteCompletion>(r, p + "VoteCompletion")
        .QIV_FIELD(gameId)
        .QIV_FIELD(fullTeamVote);
    RegisterRecord<Api::SequenceEvent>(r, p + "SequenceEvent")
        .QIV_FIELD(name)
        .QIV_FIELD(priority);
    RegisterEnum<Api::LoginSessionStates>(r, p + "LoginSessionStates")
        .QIV_ENUMERATOR(IN_PROGRESS)
        .QIV_ENUMERATOR(ERROR)
        .QIV_ENUMERATOR(SUCCEEDED)
        .QIV_ENUMERATOR(LOGGING_OUT);
    RegisterRecord<Api::LoginSession>(r, p + "LoginSession")
        .QIV_FIELD(state)
        .QIV_FIELD(summonerId)
        .QIV_FIELD(accountId);
    RegisterEnum<Api::GameflowPhase>(r, p + "GameflowPhase")
        .QIV_ENUMERATOR(None)
        .QIV_ENUMERATOR(Lobby)
        .QIV_ENUMERATOR(Matchmaking)
        .QIV_ENUMERATOR(CheckedIntoTournament)
        .QIV_ENUMERATOR(ReadyCheck)
        .QIV_ENUMERATOR(ChampSelect)
        .QIV_ENUMERATOR(GameStart)
        .QIV_ENUMERATOR(FailedToLaunch)
        .QIV_ENUMERATOR(InProgress)
        .QIV_ENUMERATOR(Reconnect)
        .QIV_ENUMERATOR(WaitingForStats)
        .QIV_ENUMERATOR(PreEndOfGame)
        .QIV_ENUMERATOR(EndOfGame)
        .QIV_ENUMERATOR(TerminatedInError);
    RegisterRecord<Api::GameflowSession>(r, p + "GameflowSession")
        .QIV_FIELD(phase);
    RegisterRecord<Api::EndOfGamePlayer>(r, p + "EndOfGamePlayer")
        .QIV_FIELD(stats)
        .QIV_FIELD(botPlayer)
        .QIV_FIELD(championId)
        .QIV_FIELD(isReportingDisabled)
        .QIV_FIELD(gameId)
        .QIV_FIELD(leaver)
        .QIV_FIELD(profileIconId)
        .QIV_FIELD(skinName)
        .QIV_FIELD(summonerName)
        .QIV_FIELD(teamId)
        .QIV_FIELD(userId)
        .QIV_FIELD(wins)
        .QIV_FIELD(summonerId)
        .QIV_FIELD(skinIndex);
    RegisterRecord<Api::EndOfGameTeam>(r, p + "EndOfGameTeam")
        .QIV_FIELD(stats)
        .QIV_FIELD(players)
        .QIV_FIELD(memberStatusString)
        .QIV_FIELD(name)
        .QIV_FIELD(tag)
        .QIV_FIELD(fullId)
        .QIV_FIELD(teamId)
        .QIV_FIELD(isBottomTeam)
        .QIV_FIELD(isPlayerTeam)
        .QIV_FIELD(isWinningTeam)
        .QIV_FIELD(championBans);
    RegisterRecord<Api::EndOfGameStats>(r, p + "EndOfGameStats")
        .QIV_FIELD(difficulty)
        .QIV_FIELD(gameId)
        .QIV_FIELD(gameLength)
        .QIV_FIELD(gameMode)
        .QIV_FIELD(gameMutators)
        .QIV_FIELD(gameType)
        .QIV_FIELD(imbalancedTeamsNoPoints)
        .QIV_FIELD(invalid)
        .QIV_FIELD(queueType)
        .QIV_FIELD(ranked)
        .QIV_FIELD(reportGameId)
        .QIV_FIELD(teams)
        .QIV_FIELD(myTeamStatus)
        .QIV_FIELD(summonerName)
        .QIV_FIELD(accountId)
        .QIV_FIELD(summonerId)
        .QIV_FIELD(championId)
        .QIV_FIELD(gameEndedInEarlySurrender);

    RegisterRecord<Api::VyreSimpleMessage>(r, "VyreSimpleMessage")
        .QIV_FIELD(accountId)
        .QIV_FIELD(msgId)
        .QIV_FIELD(type)
        .QIV_FIELD(params);
    RegisterRecord<Api::VyreSimpleMessageResponse>(r, "VyreSimpleMessageResponse")
        .QIV_FIELD(accountId)
        .QIV_FIELD(msgId)
        .QIV_FIELD(command);
}

}  // namespace Vorn::Client::Honor
